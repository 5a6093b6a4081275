#pragma once
// Numbers of the texts in the string table (platform/string_table.cpp), named by what they say.
// Callers pass these to LoadString; the numbers themselves are fixed and must not be reused.

namespace kivra {

inline constexpr int kIdsRatePaneWidth = 2006;  // sample text, sets the rate pane's width
inline constexpr int kIdsMovieToolBarTitle = 2007;
inline constexpr int kIdsTrimmingToolBarTitle = 2008;
inline constexpr int kIdsSliderBarCaption = 2009;
inline constexpr int kIdsVideoFileFilter = 2010;
inline constexpr int kIdsConvertCaption = 2011;
inline constexpr int kIdsUnrecognisedFile = 2012;  // %1 is the file's path
inline constexpr int kIdsReadOnlyFolder = 2013;
inline constexpr int kIdsCodecRefused = 2014;
inline constexpr int kIdsArea1Banner = 2015;
inline constexpr int kIdsArea2Banner = 2016;
inline constexpr int kIdsPreviewBanner = 2017;
inline constexpr int kIdsOverwriteOpenFile = 2018;
inline constexpr int kIdsSavingCaption = 2019;
inline constexpr int kIdsSplitSoundCaption = 2020;
inline constexpr int kIdsAreasClearedQuestion = 2022;
inline constexpr int kIdsSizeWarningDirect = 2023;
inline constexpr int kIdsSizeWarningConverted = 2024;
inline constexpr int kIdsMosaicBarCaption = 2025;
inline constexpr int kIdsMosaicShapeNames = 2026;  // comma-separated, one per mosaic type
inline constexpr int kIdsSideNavigatorCaption = 2033;
inline constexpr int kIdsFrontNavigatorCaption = 2034;
inline constexpr int kIdsInstallCodec = 2035;
inline constexpr int kIdsCsvFailed = 2036;
inline constexpr int kIdsMarkerSaveFailed = 2037;
inline constexpr int kIdsMarkerLoadFailed = 2038;
inline constexpr int kIdsDeleteFrameMarkersQuestion = 2039;
inline constexpr int kIdsDeleteAllMarkersQuestion = 2040;
inline constexpr int kIdsSaveMarkersQuestion = 2041;
inline constexpr int kIdsMarkerToolBarTitle = 2042;
inline constexpr int kIdsDeleteIdAllFramesQuestion = 2043;
inline constexpr int kIdsShowMarkerToolBarQuestion = 2044;
inline constexpr int kIdsPictureTooLarge = 3012;
inline constexpr int kIdsDocumentOpenFailed = 3013;  // follows the document's path
inline constexpr int kIdsImageSaveFailed = 3014;
inline constexpr int kIdsFramesReadShort = 3019;  // %1 frames read of the %2 the source claims
inline constexpr int kIdsIndexingCaption = 3020;  // reading a clip's pictures before showing it
// The save-movie command's prompt, looked up by its command number.
inline constexpr int kIdsSaveMoviePrompt = 32796;

}  // namespace kivra
