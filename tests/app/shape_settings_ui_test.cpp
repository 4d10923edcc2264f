// Shapes > Shape Settings in the window: the lead and the rig's mouths chosen in the dialog are
// saved in the settings file's [SHAPES] section, shown again next time, and used by Guess Shapes
// and by the exports.
#include <QAction>
#include <QCheckBox>
#include <QSpinBox>
#include <QTest>

#include "app/shape_menu.h"
#include "app/shape_settings_dlg.h"
#include "document/key_export_command.h"
#include "tests/app/app_fixture.h"

namespace vokra::test {
namespace {

class ShapeSettingsUi : public AppFixture {
protected:
    // Two seconds of voice at 8 kHz and 15 fps (frames 0 .. 29).
    void StartWithVoice() {
        Start();
        Frame().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Frame()));
        Doc().LoadSoundFrom(MakeVoice("voice.wav", 2.0, 8000));
    }
    void Select(double anchor, double cursor) {
        Doc().GetTimeRange().SetAnchor(anchor);
        Doc().GetTimeRange().SetCursor(cursor);
    }
    // Guesses every frame; the letters of frames 0 .. 29.
    std::string GuessAll() {
        Select(-0.5, 29.5);
        Frame().GetShapeMenu()->GuessShapes();
        std::string letters;
        for (int f = 0; f < 30; ++f) {
            const ShapeEntry* e = Doc().GetShapes().Find(f);
            letters += e ? MouthShapeLetter(e->shape) : '-';
        }
        return letters;
    }
    // Opens the settings through the menu item; `answer` works the real dialog as a user would.
    void ChangeSettings(const std::function<bool(ShapeSettingsDlg&)>& answer) {
        ShapeMenu* menu = Frame().GetShapeMenu();
        menu->askSettings = [&](const ShapeOptions& current) -> std::optional<ShapeOptions> {
            ShapeSettingsDlg dialog(current, &Frame());
            shown = dialog.Options();
            if (!answer(dialog)) return std::nullopt;
            return dialog.Options();
        };
        menu->SettingsAction()->trigger();
    }
    ShapeOptions shown;
};

TEST_F(ShapeSettingsUi, SavedShownAgainAndUsedByGuessAndExports) {
    StartWithVoice();
    const std::string plain = GuessAll();

    ChangeSettings([](ShapeSettingsDlg& dialog) {
        dialog.LeadBox()->selectAll();
        QTest::keyClicks(dialog.LeadBox(), QStringLiteral("200"));
        for (MouthShape s : {MouthShape::G, MouthShape::H, MouthShape::X}) {
            QTest::mouseClick(dialog.ShapeBox(s), Qt::LeftButton);
        }
        return true;
    });
    EXPECT_EQ(shown, ShapeOptions{});  // the defaults the first time
    EXPECT_EQ(Profile().GetInt("SHAPES", "LEAD_MS", -1), 200);
    EXPECT_EQ(Profile().GetString("SHAPES", "EXTENDED_SHAPES", "unset"), "");

    // Cancel changes nothing, and the dialog showed what was saved.
    ChangeSettings([](ShapeSettingsDlg& dialog) {
        dialog.LeadBox()->setValue(0);
        return false;
    });
    EXPECT_EQ(shown, (ShapeOptions{200, kBasicShapeSet}));
    EXPECT_EQ(Profile().GetInt("SHAPES", "LEAD_MS", -1), 200);

    // The guess leads by three frames (200 ms at 15 fps) and uses the six basic mouths alone.
    const std::string led = GuessAll();
    ASSERT_NE(led, plain);
    int same = 0;
    for (int f = 0; f + 3 < 30; ++f) {
        const char six = plain[f + 3] == 'X' || plain[f + 3] == 'G' ? 'A'
                         : plain[f + 3] == 'H'                      ? 'C'
                                                                    : plain[f + 3];
        same += led[f] == six;
    }
    EXPECT_GE(same, 25) << plain << "\n" << led;
    EXPECT_EQ(led.find_first_of("GHX"), std::string::npos) << led;

    // A G set by hand stays in the document and is exported as the rig's A.
    Select(1.5, 2.5);
    Frame().GetShapeMenu()->SetShape(MouthShape::G);
    EXPECT_EQ(Doc().GetShapes().Find(2)->shape, MouthShape::G);
    const std::string csv = KeysAsText(Doc(), KeyFormat::Csv, DefaultMouthBands());
    EXPECT_NE(csv.find("\n2,0.13333333333333333,,A\n"), std::string::npos) << csv;
}

}  // namespace
}  // namespace vokra::test
