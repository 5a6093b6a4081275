#pragma once
// The markers as a TRC file, the tab-separated text musculoskeletal modelling tools read.
#include <string>

#include "exchange/point_table.h"

namespace kivra {

// The file's text: the three header lines, the two lines of column names, then one row per
// frame (frame number from 1, the frame's time in the video in seconds, X Y Z per marker; three
// empty fields for a marker not on that frame). fileName goes into the first line. Units "mm"
// or "px".
std::string FormatTrc(const PointTable& table, const std::string& fileName);

// Replaces the file in one step; false leaves an old one intact.
bool WriteTrc(const std::string& path, const PointTable& table);

}  // namespace kivra
