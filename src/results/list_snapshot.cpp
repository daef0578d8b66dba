// Taking a snapshot of a list.
#include "results/list_snapshot.h"

namespace mailsift {

ListSnapshot::ListSnapshot(const ResultLists& lists, ListId list) : m_entries(lists.freeze(list)) {}

}  // namespace mailsift
