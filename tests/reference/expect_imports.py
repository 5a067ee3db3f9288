"""List 20: every imported library and its functions, as the image stores them."""
import import_rows

LIST_ID = 20
MODULES = import_rows.WINE_MODULES + import_rows.linked_modules()


def expected_rows(pe, path):
    return import_rows.import_rows(pe)
