#include "shell/posted_boxes.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/text.h"
#include "shell/message_boxes.h"
#include "shell/notifications.h"
#include "shell/resources.h"

namespace velka {
namespace {

std::mutex g_mutex;
std::vector<std::u16string> g_queued;

void Post(std::u16string text) {
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (std::find(g_queued.begin(), g_queued.end(), text) != g_queued.end()) return;
        g_queued.push_back(std::move(text));
    }
    PostNotification(WM_POSTED_ERROR);
}

} // namespace

void PostCreateFileError(const std::u16string& strPath, int nError) {
    PostError(FileError(ErrorCode::CannotCreateFile, strPath, nError));
}
void PostWriteFileError(const std::u16string& strPath, int nError) {
    PostError(FileError(ErrorCode::CannotWriteFile, strPath, nError));
}

void PostError(const CError& error) {
    if (error.HasText()) Post(ErrorText(error));
}

std::vector<std::u16string> TakePostedErrors() {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::vector<std::u16string> v;
    v.swap(g_queued);
    return v;
}

void ShowPostedErrors() {
    for (const std::u16string& text : TakePostedErrors()) ShowErrorText(u"%s", text.c_str());
}

} // namespace velka
