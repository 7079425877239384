#pragma once
// What the editor window takes from the designer around it: the catalogue connection and
// database name, the release of a document's lock and the in-memory editor options. The
// program wires them to the shell at start-up; a test wires them to its own catalogue.

#include "platform/db/Connection.h"

#include <QColor>
#include <QFont>
#include <QString>
#include <functional>

namespace morvane {

// The editor options of the designer's settings that the editor window applies.
struct EditorLook {
    QFont sqlFont;
    QFont scriptFont;
    QColor sqlBackColor;     // the first SQL colour ("BackColor")
    QColor scriptBackColor;  // the first script colour ("BackColor")
};

struct EditorServices {
    // The designer's one catalogue connection (null: none).
    std::function<orra::db::Connection*()> catalogueConnection;
    // The catalogue database name ("Current Catalog" at log-on).
    std::function<QString()> catalogueDatabase;
    // Releases the document's lock in the catalogue.
    std::function<void(long docID)> unlockDocument;
    // The current in-memory editor options.
    std::function<EditorLook()> editorLook;
};

void setEditorServices(EditorServices services);
const EditorServices& editorServices();

} // namespace morvane
