#include "app/about_dlg.h"
#include "app/resources/resources.h"
#include "platform/testing.h"
#include "platform/text_codec.h"
#include "ui/resource_ids.h"

#include <QAbstractButton>
#include <QLabel>

#include <gtest/gtest.h>

namespace {

TEST(AboutBox, ShowsTheNameAndVersionAndEndsWithOk) {
    platform::InstallResources(resources::VelmoraResources());
    platform::testing::EnableTestMode();
    platform::testing::Reset();
    std::string title;
    std::string text;
    int resultOfOk = -1;
    platform::testing::QueueModalHook([&](CDialog& about) {
        title = about.GetWindowText();
        for (QLabel* label : about.GetSafeWidget()->findChildren<QLabel*>()) {
            if (!label->text().isEmpty()) text = label->text().toStdString();
        }
        qobject_cast<QAbstractButton*>(about.GetDlgItemWidget(IDOK))->click();
        resultOfOk = about.IsEnded() ? IDOK : -1;
    });
    ShowAboutBox();
    EXPECT_EQ(title, Cp932("ﾊﾞｰｼﾞｮﾝ情報 Velmora"));
    EXPECT_EQ(text, "Velmora Version 1.0");
    EXPECT_EQ(resultOfOk, IDOK);
    EXPECT_EQ(platform::testing::PendingModalHooks(), 0u);
}

}  // namespace
