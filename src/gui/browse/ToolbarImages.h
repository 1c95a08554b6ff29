#pragma once
#include <QPixmap>

// The browser toolbar's 32 x 32 pictures, drawn by the program: host, scan,
// all records, find, query, statistics; the hot set is brighter.
namespace ToolbarImages {
QImage render(int index, bool hot);
QPixmap folderImage();
}
