#include "model/data_files.h"
#include "model/memo_draft_file.h"
#include "model/memo_store.h"
#include "model/record.h"
#include "model/recovery.h"
#include "platform/text_codec.h"
#include "ui/main/calendar_dlg.h"
#include "ui/save_notices.h"

#include <optional>
#include <string>

void CCalendarDlg::OfferLeftDraft() {
    const std::optional<MemoDraft> draft = ReadMemoDraft();
    if (!draft) return;
    switch (JudgeDraft(*draft, CurrentDataFolderPath(), g_strMemoData)) {
    case DraftFate::NotThisFolder:
        return;
    case DraftFate::NothingNew:
        RemoveMemoDraft();
        return;
    case DraftFate::Offer:
        break;
    }
    if (MessageBox(save_notices::DraftOfferText(*draft), Cp932("Velmora"), MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
        PutDraftIntoStore(g_strMemoData, *draft);
        // Until the memo file holds the text, the draft stays: a crash now would lose it.
        if (save_notices::SaveMemoDataAndTell(*this)) RemoveMemoDraft();
        return;
    }
    std::string store;
    AppendMemoRecord(store, draft->year, draft->month, draft->day, draft->text);
    const std::string copy = WriteRecoveryCopy(kMemoFile, store);
    // Where the copy could not be written the draft stays, to be offered again.
    if (copy.empty()) return;
    RemoveMemoDraft();
    // Told now, so the next start does not tell of it again.
    TakeUntoldRecoveryCopies();
    MessageBox(save_notices::DraftKeptText(copy), Cp932("Velmora"), MB_OK | MB_ICONEXCLAMATION);
}
