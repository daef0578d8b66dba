// The counter texts and the arrow buttons' move.
#include "results/counter_texts.h"

namespace mailsift {
namespace {

std::string counterText(std::string_view text, std::size_t count) {
  std::string result(text);
  result += std::to_string(count);
  return result;
}

}  // namespace

CounterTexts Eintrag(const ResultLists& lists, std::string_view foundText, std::string_view unknownText) {
  return {counterText(foundText, lists.count(ListId::List1)), counterText(unknownText, lists.count(ListId::List2))};
}

CounterTexts Command2_Click(ResultLists& lists, int index, std::span<const std::size_t> selectedInList1,
                            std::span<const std::size_t> selectedInList2, std::string_view foundText,
                            std::string_view unknownText) {
  if (index == 0) {
    lists.moveSelected(ListId::List2, selectedInList2);
  } else if (index == 1) {
    lists.moveSelected(ListId::List1, selectedInList1);
  }
  return Eintrag(lists, foundText, unknownText);
}

}  // namespace mailsift
