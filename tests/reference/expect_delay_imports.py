"""List 21: every delay-loaded library and its functions."""
import import_rows

LIST_ID = 21
MODULES = import_rows.WINE_MODULES + import_rows.linked_modules()


def expected_rows(pe, path):
    return import_rows.delay_import_rows(pe)
