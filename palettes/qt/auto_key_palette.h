#pragma once
// The AutoKey palette: keys every frame of the selection (or from the cursor to the end of the
// timeline) from the loudness of the sound, through a two-point threshold-to-range rule. A modeless
// tool window owned by the main window; created hidden, shown and hidden by the main frame's
// toggle.
#include <QDialog>
#include <cstdint>

#include "document/vokra_doc.h"
#include "palettes/auto_key.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vokra {

class CAutoKeyPalette : public QDialog, public AutoKeyPaletteLink {
    Q_OBJECT
public:
    explicit CAutoKeyPalette(QWidget* parent = nullptr);  // created hidden
    ~CAutoKeyPalette() override;

    void SetDocument(CVokraDoc* doc);
    CVokraDoc* GetDocument() const;
    // Recomputes the frame range Apply will key and its label; enables Apply only with a sound.
    void UpdateRangeLabel(int code) override;
    // Apply (also Enter): checks the four edits, then keys the range shown by the label, leaving
    // hand-made keys alone unless "Replace hand edits" is ticked; the status bar says how many.
    void OnApply();
    // Help: the manual's AutoKey topic.
    void OnHelp();

    // "Replace hand edits": Apply overwrites hand-made keys too (off by default, remembered).
    bool IsReplacingHandEdits() const;
    // The rule as last read from the edits, and the range of the last label refresh.
    AutoKeySettings GetSettings() const;
    std::int32_t GetStartFrame() const { return m_nStartFrame; }
    std::int32_t GetEndFrame() const { return m_nEndFrame; }

protected:
    // The close box asks the main frame to toggle the palette off, so its check mark follows.
    void closeEvent(QCloseEvent* event) override;

private:
    // Controls to members (save) or members to controls; false when an edit was refused.
    bool DoDataExchange(bool save);

    QLabel* m_wndRangeLabel = nullptr;
    QPushButton* m_btnApply = nullptr;
    QPushButton* m_btnHelp = nullptr;
    QCheckBox* m_chkReplaceHand = nullptr;
    QLineEdit* m_editHighThreshold = nullptr;
    QLineEdit* m_editHighRange = nullptr;
    QLineEdit* m_editLowThreshold = nullptr;
    QLineEdit* m_editLowRange = nullptr;
    int m_nHighRange = 100;
    int m_nLowRange = 0;
    int m_nHighThreshold = 100;
    int m_nLowThreshold = 0;
    CVokraDoc* m_pDoc = nullptr;
    // An empty range until the first refresh, so a premature Apply keys nothing.
    std::int32_t m_nStartFrame = 0;
    std::int32_t m_nEndFrame = -1;
};

}  // namespace vokra
