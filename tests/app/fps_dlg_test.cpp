#include "app/fps_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "tests/support/scripted_services.h"

namespace vokra {
namespace {

// Opens a dialog without running its modal loop.
struct OpenDialog {
    CFpsDlg dlg;
    OpenDialog(std::int32_t preset, double rate, double custom) {
        dlg.m_preset = preset;
        dlg.m_rate = rate;
        dlg.m_customRate = custom;
        dlg.OnInitDialog();
        dlg.show();
    }
};

TEST(FpsDialog_Opening, StandardPresetSelectedEditDisabled) {
    OpenDialog o(7, 15.0, 15.0);
    EXPECT_EQ(o.dlg.Combo()->currentIndex(), 7);
    EXPECT_FALSE(o.dlg.Edit()->isEnabled());
    EXPECT_EQ(o.dlg.Edit()->text(), "15");
    EXPECT_EQ(o.dlg.Combo()->itemText(0), "15.000     Custom");
    EXPECT_EQ(o.dlg.windowTitle(), "Frames per Second");
}

TEST(FpsDialog_Opening, CustomPresetShowsTheCustomRate) {
    OpenDialog o(0, 23.45, 23.45);
    EXPECT_EQ(o.dlg.Combo()->currentIndex(), 0);
    EXPECT_EQ(o.dlg.Combo()->itemText(0), "23.450     Custom");
    EXPECT_TRUE(o.dlg.Edit()->isEnabled());
    EXPECT_EQ(o.dlg.Edit()->text(), "23.45");
}

TEST(FpsDialog_Opening, ItemsInPresetOrder) {
    OpenDialog o(7, 15.0, 15.0);
    ASSERT_EQ(o.dlg.Combo()->count(), 12);
    EXPECT_EQ(o.dlg.Combo()->itemText(1), "  4.000     Slow Streaming");
    EXPECT_EQ(o.dlg.Combo()->itemText(7), "15.000     Video for Windows default");
    EXPECT_EQ(o.dlg.Combo()->itemText(11), "30.000     Hi Speed");
}

struct PickCase {
    int index;
    const char* shown;
    double rate;
};
void PrintTo(const PickCase& c, std::ostream* os) {
    *os << "item " << c.index;
}

class FpsDialog_Choosing : public ::testing::TestWithParam<PickCase> {};

TEST_P(FpsDialog_Choosing, ItemSetsTheEditAndOkReturnsIt) {
    OpenDialog o(0, 23.45, 23.45);
    o.dlg.Combo()->setCurrentIndex(GetParam().index);
    EXPECT_EQ(o.dlg.Edit()->text(), GetParam().shown);
    EXPECT_EQ(o.dlg.Edit()->isEnabled(), GetParam().index == 0);
    QTest::mouseClick(o.dlg.OkButton(), Qt::LeftButton);
    EXPECT_EQ(o.dlg.result(), QDialog::Accepted);
    EXPECT_DOUBLE_EQ(o.dlg.m_rate, GetParam().rate);
    EXPECT_EQ(o.dlg.m_preset, GetParam().index);
}

INSTANTIATE_TEST_SUITE_P(Table, FpsDialog_Choosing,
                         ::testing::Values(PickCase{10, "29.97", 29.97}, PickCase{1, "4", 4.0},
                                           PickCase{2, "7.5", 7.5}, PickCase{6, "14.985", 14.985},
                                           PickCase{11, "30", 30.0},
                                           // The custom item gives its rate to three decimals.
                                           PickCase{0, "23.45", 23.45}));

TEST(FpsDialog_Choosing, CustomItemRoundsToThreeDecimals) {
    OpenDialog o(7, 15.0, 23.4567);
    EXPECT_EQ(o.dlg.Combo()->itemText(0), "23.457     Custom");
    o.dlg.Combo()->setCurrentIndex(0);
    EXPECT_EQ(o.dlg.Edit()->text(), "23.457");
    EXPECT_TRUE(o.dlg.Edit()->isEnabled());
}

struct TypedCase {
    const char* typed;
    const char* prompt;  // empty: accepted
    double rate;
};
void PrintTo(const TypedCase& c, std::ostream* os) {
    *os << '"' << c.typed << '"';
}

class FpsDialog_Typing : public ::testing::TestWithParam<TypedCase> {};

TEST_P(FpsDialog_Typing, CustomRateIsCheckedOnOk) {
    const TypedCase& c = GetParam();
    OpenDialog o(7, 15.0, 15.0);
    o.dlg.Combo()->setCurrentIndex(0);
    o.dlg.Edit()->setText(c.typed);
    test::ScriptedMessages messages;
    if (*c.prompt) messages.Expect(c.prompt);
    QTest::mouseClick(o.dlg.OkButton(), Qt::LeftButton);
    messages.VerifyAllShown();
    if (*c.prompt) {
        EXPECT_TRUE(o.dlg.isVisible()) << "the dialog stays open";
        EXPECT_EQ(o.dlg.Edit()->selectedText(), QString::fromLatin1(c.typed));
        EXPECT_EQ(QApplication::focusWidget() == o.dlg.Edit() || !o.dlg.isActiveWindow(), true);
    } else {
        EXPECT_FALSE(o.dlg.isVisible());
        EXPECT_EQ(o.dlg.result(), QDialog::Accepted);
        EXPECT_DOUBLE_EQ(o.dlg.m_rate, c.rate);
        EXPECT_EQ(o.dlg.m_preset, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, FpsDialog_Typing,
    ::testing::Values(TypedCase{"0.5", "Please enter a number between 1 and 100.", 0},
                      TypedCase{"abc", "Please enter a number.", 0},
                      TypedCase{"", "Please enter a number.", 0},
                      TypedCase{"100.01", "Please enter a number between 1 and 100.", 0},
                      TypedCase{"100", "", 100.0}, TypedCase{"1", "", 1.0},
                      TypedCase{"23,5", "Please enter a number.", 0},
                      TypedCase{" 23.5 ", "", 23.5}));

TEST(FpsDialog_Runner, CancelReturnsNothingWhateverWasChosen) {
    QTimer::singleShot(0, [] {
        auto* dlg = qobject_cast<CFpsDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        dlg->Combo()->setCurrentIndex(10);
        dlg->CancelButton()->click();
    });
    const auto choice = MakeFpsDialogRunner(nullptr)(7, 15.0, 15.0);
    EXPECT_FALSE(choice.has_value());
}

TEST(FpsDialog_Runner, OkReturnsRateAndPreset) {
    QTimer::singleShot(0, [] {
        auto* dlg = qobject_cast<CFpsDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(dlg->Combo()->currentIndex(), 0);
        EXPECT_EQ(dlg->Edit()->text(), "12.5");
        dlg->Combo()->setCurrentIndex(10);
        QTest::keyClick(dlg->Combo(), Qt::Key_Return);
        if (dlg->isVisible()) dlg->OkButton()->click();
    });
    const auto choice = MakeFpsDialogRunner(nullptr)(0, 12.5, 12.5);
    ASSERT_TRUE(choice.has_value());
    EXPECT_DOUBLE_EQ(choice->rate, 29.97);
    EXPECT_EQ(choice->preset, 10);
}

struct NumberCase {
    const char* text;
    double value;
};
void PrintTo(const NumberCase& c, std::ostream* os) {
    *os << '"' << c.text << '"';
}
class FpsDialog_LeadingNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(FpsDialog_LeadingNumber, ReadsThePrefixLikeTheOldLibrary) {
    EXPECT_DOUBLE_EQ(LeadingNumber(GetParam().text), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Table, FpsDialog_LeadingNumber,
                         ::testing::Values(NumberCase{"  4.000     Slow Streaming", 4.0},
                                           NumberCase{"29.970     NTSC Color", 29.97},
                                           NumberCase{"  ---------     Custom", 0.0},
                                           NumberCase{"+12.5x", 12.5}, NumberCase{"", 0.0}));

}  // namespace
}  // namespace vokra
