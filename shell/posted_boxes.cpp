#include "shell/posted_boxes.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/text.h"
#include "shell/notifications.h"
#include "shell/resources.h"

namespace velka {
namespace {

std::mutex g_mutex;
std::vector<std::u16string> g_queued;

void Post(UINT uId, const std::u16string& strPath, int nError) {
    std::u16string text = FormatW(LoadStr(uId).c_str(), strPath.c_str(), SystemErrorText(nError).c_str());
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (std::find(g_queued.begin(), g_queued.end(), text) != g_queued.end()) return;
        g_queued.push_back(std::move(text));
    }
    PostNotification(WM_POSTED_ERROR);
}

} // namespace

void PostCreateFileError(const std::u16string& strPath, int nError) { Post(2000, strPath, nError); }
void PostWriteFileError(const std::u16string& strPath, int nError) { Post(2003, strPath, nError); }

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
