#pragma once
// The command identifiers of the main window: one QAction per identifier. The numbers are
// fixed (the standard file and application commands from 0xE100, our own from 32771), so
// toolbar tables, saved layouts and the commands themselves agree on them.

namespace kivra {

enum CommandId : int {
    // Framework commands.
    ID_FILE_NEW = 0xE100,  // shown as "閉じる(&C)": closes the video
    ID_FILE_OPEN = 0xE101,
    ID_FILE_MRU_FILE1 = 0xE110,
    ID_APP_ABOUT = 0xE140,
    ID_APP_EXIT = 0xE141,

    // View menu.
    ID_VIEW_IMAGE_INFO = 32771,
    ID_VIEW_DEINTERLACE = 32772,
    ID_VIEW_SLIDER_BAR = 32780,
    ID_VIEW_NAVIGATOR = 32781,
    ID_VIEW_CODEC_LIST = 32782,
    ID_VIEW_TEXT_INFO = 32783,
    ID_FILE_SAVE_FRAME_BMP = 32784,  // no menu entry and no key
    ID_VIEW_OPEN_DIRECT = 32846,     // phone and camera clips read without conversion
    ID_VIEW_TWO_PANES = 32880,       // a second video beside the first
    ID_VIEW_LINK_PANES = 32881,      // the two step and play together by time
    ID_SYNC_SAME_MOMENT = 32882,     // the Synchronise submenu's methods
    ID_SYNC_SOUND = 32883,
    ID_SYNC_FLASH = 32884,
    ID_SYNC_EVENTS = 32885,

    // Movie menu and toolbar.
    ID_MOVIE_PLAY = 32773,
    ID_MOVIE_FIRST = 32774,
    ID_MOVIE_BACK = 32775,
    ID_MOVIE_NEXT = 32776,
    ID_MOVIE_LAST = 32777,
    ID_MOVIE_STOP = 32778,
    ID_MOVIE_REVERSE_PLAY = 32779,

    // Trimming menu and toolbar.
    ID_TRIMMING_FRONT_MODE = 32791,
    ID_TRIMMING_SIDE_MODE = 32793,
    ID_TRIMMING_PREVIEW = 32795,
    ID_TRIMMING_SAVE_MOVIE = 32796,
    ID_TRIMMING_AREA = 32797,
    ID_TRIMMING_AREA_CLEAR = 32798,
    ID_TRIMMING_SETTINGS = 32799,
    ID_MOSAIC_NONE = 32800,  // types 1 to 3 follow
    ID_MOSAIC_TYPE1 = 32801,
    ID_MOSAIC_TYPE2 = 32802,
    ID_MOSAIC_TYPE3 = 32803,

    // Marker menu and toolbar.
    ID_MARKER_SET_ID = 32817,
    ID_MARKER_DELETE_FRAME = 32818,
    ID_MARKER_DELETE_ALL = 32819,
    ID_MARKER_SHOW_LOCUS = 32820,
    ID_MARKER_SAVE = 32821,
    ID_MARKER_COORDINATE_OUTPUT = 32822,
    ID_MARKER_CALIBRATION = 32823,
    ID_MARKER_ANGLES = 32824,
    ID_MARKER_KINEMATICS_OUTPUT = 32825,
    ID_MARKER_PLOT = 32826,
    ID_MARKER_UNDO = 32830,
    ID_MARKER_REDO = 32831,
    ID_MARKER_FOLLOW = 32832,
    ID_MARKER_FOOT_MARKERS = 32860,
    ID_MARKER_GAIT = 32861,
    ID_MARKER_GAIT_REPORT = 32862,
    ID_MARKER_GAIT_COMPARE = 32863,
    ID_MARKER_EXPORT_C3D = 32864,
    ID_MARKER_EXPORT_TRC = 32865,

    // Help menu.
    ID_HELP_QUICK_START = 32870,
};

}  // namespace kivra
