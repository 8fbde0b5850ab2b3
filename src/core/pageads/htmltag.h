#pragma once

#include "pageads/pageeditor.h"

// Where a place of a page stands in its HTML markup.
namespace pw {

// Whether `pos` stands between the '<' that opens markup (a start or end tag,
// a comment, a declaration or a processing instruction) and the '>' that
// closes it, so that text written there would break the markup. The page is
// read from its first line, as an HTML tokenizer reads it: a '>' inside a
// quoted attribute value does not end its tag, and a '<' in the text of a
// script, style, textarea or title element opens nothing. A '<' followed by
// anything but a letter, '/', '!' or '?' is text.
bool InsideHtmlTag(const PageEditor& editor, TextPos pos);

} // namespace pw
