#include "shell/message_boxes.h"

#include "platform/ui_host.h"
#include "shell/resources.h"

namespace velka {

namespace {
constexpr std::size_t c_cchBox = 520; // as the numbered boxes

std::u16string BoxText(const CError& error) {
    std::u16string text = ErrorText(error);
    if (text.size() > c_cchBox - 1) text.resize(c_cchBox - 1);
    return text;
}
} // namespace

void ShowErrorBox(const CError& error) {
    if (!error.HasText()) return;
    UiHost().MessageBox(BoxText(error), MainCaption(), ErrorIcon(error));
}

bool AskQuestionBox(const CError& question) {
    return UiHost().MessageBox(BoxText(question), MainCaption(), MB_YESNO | MB_ICONWARNING) == IDYES;
}

} // namespace velka
