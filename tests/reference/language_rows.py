"""Comparison for lists whose group rows name a language: the name comes from
the platform, so such a row is only checked to be a non-empty language row."""


def compare(actual, expected):
    diffs = []
    if len(actual) != len(expected):
        diffs.append('row count %d, expected %d' % (len(actual), len(expected)))
    for i, (a, e) in enumerate(zip(actual, expected)):
        a = tuple(a)
        if e[2] is None:
            # A language row: its name comes from the platform.
            if a[:2] != e[:2] or len(a) < 3 or not a[2]:
                diffs.append('row %d: %r, expected a language row' % (i, a))
        elif a != e:
            diffs.append('row %d: %r, expected %r' % (i, a, e))
        if len(diffs) > 10:
            break
    return diffs
