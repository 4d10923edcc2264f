#pragma once
// The Playback palette: the transport (play all or the selection, pause, resume, stop) with the
// playback marker and the lip preview following the sound, the selection as typed Start and End
// frames, the statistics of the selected keys with one typed opening for all of them, and stepping
// to the previous or next key. A modeless tool window owned by the main window, created hidden.
#include <QDialog>
#include <chrono>
#include <cstdint>
#include <functional>

#include "document/vokra_doc.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace vokra {

class LipPreview;

class CPlaybackPalette : public QDialog, public PlaybackPaletteLink {
    Q_OBJECT
public:
    // Play states.
    enum { kNoSound = 0, kStopped = 1, kPlaying = 2, kPaused = 3 };
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    explicit CPlaybackPalette(QWidget* parent = nullptr);  // created hidden
    ~CPlaybackPalette() override;

    void SetDocument(CVokraDoc* doc);
    CVokraDoc* GetDocument() const;
    // 0 everything, 55 all but the lip preview, 57 all but the Start and End edits.
    void Refresh(int code) override;
    // The Space key: play when stopped, stop when playing, restart the range when paused.
    void TogglePlayback();
    void StopPlayback();
    int GetState() const { return m_nState; }
    // Plays the selected frames over and over (while keys are dragged) until StopAudition or any
    // other stop. Does nothing without a sound or a selection.
    void StartAudition();
    void StopAudition();
    bool IsAuditioning() const { return m_bAudition; }

    // Button and edit handlers, public so the main frame and tests can drive them directly.
    void OnPlay();
    void OnPause();
    void OnPlayMode();
    void OnNextKey();
    void OnPrevKey();
    void OnKillFocusStart();
    void OnKillFocusEnd();
    void OnKillFocusOpen();
    // Applies what was typed into Start, End or %Open without Enter or Tab, as leaving the edit
    // would; a command that saves, exports or replaces the document calls it first. False, after
    // the prompt for the refused value, when one is out of range.
    bool CommitPendingEdits();
    // The posted prompt for a value out of range: which 0 Start, 1 End, 2 %Open.
    void OnBadValue(int which, int maximum);
    void OnTimer();
    void OnTick();

    // Stores the preview's frame and opening and repaints it.
    void DrawPreview(double opening, std::int32_t frame);
    double GetPreviewOpening() const { return m_previewOpening; }
    std::int32_t GetPreviewFrame() const { return m_previewFrame; }
    bool GetPlaySelection() const { return m_bPlaySelection != 0; }
    std::int32_t GetPausedFrame() const { return m_nPausedFrame; }
    std::int32_t GetPlayEndSample() const { return m_nPlayEndSample; }
    bool IsTimerRunning() const;
    // The clock the stall detection reads; steady_clock unless a test installs its own.
    void SetClock(Clock clock);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;  // Escape does nothing: the palette is closed only by its toggle
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdatePlayState();
    void StartPlayback();
    void PausePlayback();
    void ResumePlayback();
    // Preview the frame, play firstSample..m_nPlayEndSample, and run the tick timer.
    void BeginPlaying(std::int32_t frame, std::int32_t firstSample);
    void StartTimer();
    void KillTimer();
    void SelectFrame(std::int32_t k);
    void OnOK();
    void PostBadValue(int which, int maximum);
    void PlaceMarker(double position);
    // Sets an edit's text as the palette does, which clears its modified flag.
    void SetEditText(QLineEdit* edit, const QString& text);
    // What Refresh shows in the Start, End or %Open edit for the current selection and keys.
    QString ShownText(const QLineEdit* edit) const;
    void UpdateButtonTexts();
    // Starts the auditioned range again from its first sample; false when the device refused.
    bool RestartAudition();
    void SetToolTips();

    QPushButton* m_btnPlay = nullptr;
    QPushButton* m_btnPause = nullptr;
    QPushButton* m_btnPlayMode = nullptr;
    LipPreview* m_btnPreview = nullptr;
    QPushButton* m_btnNextKey = nullptr;
    QPushButton* m_btnPrevKey = nullptr;
    QLineEdit* m_editOpen = nullptr;
    QLabel* m_wndMinOpen = nullptr;
    QLabel* m_wndMaxOpen = nullptr;
    QLabel* m_wndKeyCount = nullptr;
    QLineEdit* m_editEnd = nullptr;
    QLineEdit* m_editStart = nullptr;
    double m_previewOpening = 0.0;
    std::int32_t m_previewFrame = 0;
    CVokraDoc* m_pDoc = nullptr;
    std::int32_t m_bPlaySelection = 1;
    std::int32_t m_nState = kNoSound;
    std::int32_t m_nPlayEndSample = 0;
    std::int32_t m_nPlayFirstFrame = 0;  // the frame playback started at
    std::int32_t m_nPausedFrame = 0;
    std::int32_t m_nPlayTextState = -1;
    std::int32_t m_nPauseTextState = -1;
    std::int32_t m_nLastPosition = -1;
    std::chrono::steady_clock::time_point m_dwLastMoveTime{};
    std::int32_t m_bTickPending = 0;

    // The modified flags of the Start, End and %Open edits: set by typing, cleared when the
    // palette writes the text.
    bool m_bStartModified = false;
    // Set while a typed Start or End moves the selection: the playback stop that every selection
    // change brings must not overwrite the edits the commit keeps.
    bool m_bCommittingEdit = false;
    bool m_bEndModified = false;
    bool m_bOpenModified = false;
    // Edits (bit 0 Start, 1 End, 2 Opening) whose refusal is posted and not yet said: a command
    // that says it first (CommitPendingEdits) takes it, so each refused value is said once.
    unsigned m_pendingBadValues = 0;
    QTimer* m_timer = nullptr;
    Clock m_clock;
    bool m_bAudition = false;
    std::int32_t m_nAuditionFirstSample = 0;
};

}  // namespace vokra
