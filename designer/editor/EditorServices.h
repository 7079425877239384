#pragma once
// What the editor window takes from the designer around it beyond the shell's own state (the
// catalogue connection, its database name and the editor options): the release of a
// document's lock, which the catalogue side provides. The program wires it at start-up; a test
// wires it to its own catalogue.

#include <functional>

namespace morvane {

struct EditorServices {
    // Releases the document's lock in the catalogue.
    std::function<void(long docID)> unlockDocument;
};

void setEditorServices(EditorServices services);
const EditorServices& editorServices();

} // namespace morvane
