#include "designer/editor/EditorServices.h"

namespace morvane {
namespace {
EditorServices& services()
{
    static EditorServices s;
    return s;
}
} // namespace

void setEditorServices(EditorServices s) { services() = std::move(s); }
const EditorServices& editorServices() { return services(); }

} // namespace morvane
