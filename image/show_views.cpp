#include "views.h"

const int VIEW_COLUMNS[VIEW_COUNT] = { 2, 2, 2, 4, 2, 2, 2 };

void ShowViews(const RowSink sinks[VIEW_COUNT], HMODULE resources, ImageView* view)
{
    BuildSectionIndex(view);
    ShowSections(&sinks[VIEW_SECTIONS], resources, view);
    ShowImports(&sinks[VIEW_IMPORTS], view);
    ShowDelayImports(&sinks[VIEW_DELAY_IMPORTS], view);
    ShowExports(&sinks[VIEW_EXPORTS], view);
    ShowHeaderSummary(&sinks[VIEW_SUMMARY], resources, view);
    ShowVersionInfo(&sinks[VIEW_VERSION], resources, view);
    ShowStringTables(&sinks[VIEW_STRINGS], view);
    FreeSectionIndex(view);
}
