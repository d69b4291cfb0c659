#include "platform/file_dialog.h"

#include "platform/state.h"
#include "platform/text_codec.h"
#include "platform/wnd.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>

namespace platform {

std::optional<std::string> AskOpenFileName(CWnd& owner, std::string_view captionCp932, std::string_view filterCp932) {
    auto& hooks = detail::State().hooks;
    if (!hooks.openFileAnswers.empty()) {
        std::optional<std::string> answer = std::move(hooks.openFileAnswers.front());
        hooks.openFileAnswers.pop_front();
        return answer;
    }
    if (detail::State().testMode) detail::TestModeFailure("a file dialog has no answer queued");
    QWidget* parent = owner.GetSafeWidget();
    const QString path =
        QFileDialog::getOpenFileName(parent != nullptr && parent->isVisible() ? parent : nullptr,
                                     ToQString(captionCp932), QDir::currentPath(), ToQString(filterCp932));
    if (path.isEmpty()) return std::nullopt;
    return QFile::encodeName(path).toStdString();
}

}  // namespace platform
