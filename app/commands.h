#pragma once
// Command ids of the menu, the tool bar and the accelerators. The numbers are the ones the
// program has always used; the palettes post two of them back to the main window.
#include "panes/frame_link.h"

namespace vokra {

enum Command {
    ID_FILE_NEW = 57600,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_FILE_SAVE_AS = 57604,
    ID_FILE_MRU_FILE1 = 57616,  // the recent-file entries are 57616..57619
    ID_EDIT_COPY = 57634,
    ID_EDIT_CUT = 57635,
    ID_EDIT_PASTE = 57637,
    ID_EDIT_UNDO = 57643,
    ID_EDIT_REDO = 57644,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_HELP_FINDER = 57667,
    ID_NEXT_PANE = 57680,
    ID_PREV_PANE = 57681,
    ID_VIEW_TOOLBAR = 59392,
    ID_VIEW_STATUS_BAR = 59393,
    ID_PLAYBACK_PALETTE = kCmdTogglePlaybackPalette,  // 32771
    ID_LOAD_SOUND = 32775,
    ID_AUTOKEY_PALETTE = kCmdToggleAutoKeyPalette,  // 32776
    ID_WRITE_ENVELOPE = 32777,
    ID_SET_FPS = 32778,
    ID_ZOOM_IN = 32779,
    ID_ZOOM_OUT = 32780,
    ID_SECONDS = 32781,
    ID_SPACE = 32782,
    ID_SELECT_ALL = 32784,
    ID_ZOOM_SELECTION = 32800,
    ID_AUDITION = 32801,
    ID_VIEW_SHAPE_LANE = 32802,
};

constexpr int kRecentFileCount = 4;

}  // namespace vokra
