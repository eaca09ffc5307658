#include "uninstall/qt/qt_message_box.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>

#include <cstdlib>

#include "uninstall/information_message.h"

namespace sonocap::uninstall {
namespace {

class QtMessageBoxTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "qt_message_box_test";
        static char* argv[] = {name, nullptr};
        // Without a display the box can still be built and run off screen.
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        if (QApplication::instance() == nullptr) application_ = new QApplication(argc, argv);
    }
    static inline QApplication* application_ = nullptr;
};

TEST_F(QtMessageBoxTest, ShowsOnlyOkWithoutIcon) {
    const auto box = MakeMessageBox(std::string(kInformationTitle), std::string(kInformationText));
    EXPECT_EQ(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box->parentWidget(), nullptr);
}

TEST_F(QtMessageBoxTest, KeepsTitleAndTextAsPlainUtf8) {
    const auto box = MakeMessageBox(std::string(kInformationTitle), std::string(kInformationText));
    EXPECT_EQ(box->windowTitle(), QString(" Information:"));
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->text().toStdString(), kInformationText);
    EXPECT_TRUE(box->text().contains(QChar(0x00B4)));
}

TEST_F(QtMessageBoxTest, OkEndsTheBox) {
    const auto box = MakeMessageBox(" T:", "text");
    QMetaObject::invokeMethod(
        box.get(), [&] { box->button(QMessageBox::Ok)->click(); }, Qt::QueuedConnection);
    EXPECT_EQ(box->exec(), QMessageBox::Ok);
}

}  // namespace
}  // namespace sonocap::uninstall
