// Long lists of one-line entries (the pending scores, the search hits) are
// laid out as rows of one size, so thousands of entries are placed without
// measuring each. The rows take the width their owner gives, so no entry is
// cut to the width of the first one.
#pragma once

#include <QListWidget>
#include <functional>

namespace zorvanix {

// row_width: the pixel width every row should have at least (the widest
// entry, as far as the owner knows it). Call list->doItemsLayout() when it
// changes.
void UseUniformRows(QListWidget* list, std::function<int()> row_width);

}  // namespace zorvanix
