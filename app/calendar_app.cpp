#include "app/calendar_app.h"

#include "app/about_dlg.h"
#include "app/host_dlg.h"
#include "app/single_instance.h"
#include "model/stores.h"
#include "platform/text_codec.h"
#include "platform/wnd.h"
#include "sync/pass_answer.h"
#include "ui/globals.h"
#include "ui/main/calendar_dlg.h"
#include "ui/resource_ids.h"

#include <QDir>
#include <QFile>

#include <cstdio>

CCalendarApp theApp;

namespace {

// Another copy holds the directory's lock but cannot be asked to show itself.
void SayAnotherCopyRunsUnreachable(const QString& directory) {
    std::fprintf(stderr, "velmora: another copy runs in %s (it holds %s) but does not answer; this start ends\n",
                 QFile::encodeName(directory).constData(),
                 QFile::encodeName(CSingleInstance::LockFileName()).constData());
    CWnd owner;
    owner.MessageBox(Cp932("このフォルダでは別のVelmoraが動いていますが、呼び出しに応答しません。\r\n"
                           "そのVelmoraを終了してから、もう一度起動してください。"),
                     Cp932("Velmora"), MB_OK | MB_ICONEXCLAMATION);
}

// A velmora-cal command (an import, a holiday update) works on the directory's files.
void SayCommandHoldsTheFolder(const QString& directory, qint64 pid) {
    std::fprintf(stderr,
                 "velmora: velmora-cal (process %lld) is changing the files in %s (it holds %s); this start ends\n",
                 static_cast<long long>(pid), QFile::encodeName(directory).constData(),
                 QFile::encodeName(CSingleInstance::LockFileName()).constData());
    CWnd owner;
    owner.MessageBox(Cp932("このフォルダのデータを velmora-cal（プロセス番号 " + std::to_string(pid) +
                           "）が書き換えています。\r\n"
                           "velmora-cal が終わってから、もう一度起動してください。"),
                     Cp932("Velmora"), MB_OK | MB_ICONEXCLAMATION);
}

// The directory's lock file is there but cannot be taken, such as another user's unreadable file.
void SayLockUnusable(const QString& directory, const QString& problem) {
    const QByteArray lock = QFile::encodeName(QDir(directory).filePath(CSingleInstance::LockFileName()));
    std::fprintf(stderr, "velmora: cannot take the lock %s: %s; this start ends\n", lock.constData(),
                 problem.toLocal8Bit().constData());
    CWnd owner;
    owner.MessageBox(Cp932("このフォルダのロックファイル「" + lock.toStdString() +
                           "」を使えないため、起動できません。\r\n"
                           "別のユーザーのファイルか、ファイルではないものです。"
                           "このフォルダを使うほかのユーザーやプログラムを確かめてください。"),
                     Cp932("Velmora"), MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

BOOL CCalendarApp::InitInstance() {
    if (!AfxSocketInit()) {
        AfxMessageBox(IDS_SOCKETS_INIT_FAILED, MB_OK);
        return FALSE;
    }
    // A second start in the same directory shows the running copy's window and ends at once.
    CSingleInstance single(QDir::currentPath(), CCalendarDlg::ShowRunningAsTrayClick);
    switch (single.Start()) {
    case CSingleInstance::Role::First:
        // No other copy can be saving here now: what a killed save left behind is ours to clear.
        if (single.HoldsLock()) RemoveLeftoverTempFiles();
        break;
    case CSingleInstance::Role::Second:
        return FALSE;
    case CSingleInstance::Role::Blocked:
        SayAnotherCopyRunsUnreachable(QDir::currentPath());
        PostQuitMessage(1);
        return FALSE;
    case CSingleInstance::Role::HeldByCommand:
        SayCommandHoldsTheFolder(QDir::currentPath(), single.HolderPid());
        PostQuitMessage(1);
        return FALSE;
    case CSingleInstance::Role::LockUnusable:
        SayLockUnusable(QDir::currentPath(), single.LockProblem());
        PostQuitMessage(1);
        return FALSE;
    }
    // velmora-cal's sync in this folder goes through the main window's own pass: one writer only.
    single.SetSyncHandler([](bool acceptEmpty, std::function<void(const std::string&)> reply) {
        CCalendarDlg::SyncForCommand(acceptEmpty, [reply = std::move(reply)](const memosync::SyncResult& result) {
            reply(memosync::EncodePassAnswer(result));
        });
    });
    g_pfnShowAboutBox = ShowAboutBox;
    CHostDlg host;
    m_pMainWnd = &host;
    host.Create(IDD_HOST, nullptr);
    host.RunModalLoop(MLF_NOKICKIDLE);
    m_pMainWnd = nullptr;
    return FALSE;
}
