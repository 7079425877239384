#pragma once
// The images of the catalogue pane's trees and tabs, drawn for the project at 16 x 16:
// "Repository", "Category", "selCategory", "Template", "Document", "Parameter", "Block",
// "Include", "Station", "Script".

#include "platform/widgets/KeyedTree.h"

namespace morvane {

// A new image list holding every image above under its key.
orra::ImageList CatalogueImageList();

}   // namespace morvane
