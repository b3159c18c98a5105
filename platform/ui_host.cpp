#include "platform/ui_host.h"

#include <atomic>
#include <cstdio>

#include "platform/text.h"

namespace velka {
namespace {
std::atomic<IUiHost*> g_pHost{nullptr};
} // namespace

int CHeadlessUiHost::MessageBox(const std::u16string& strText, const std::u16string& strCaption,
                                UINT uStyle) {
    std::lock_guard lock(m_mutex);
    m_boxes.push_back({strText, strCaption, uStyle});
    if (m_fEcho) {
        const char* szKind = (uStyle & 0xF0) == MB_ICONERROR     ? "error"
                             : (uStyle & 0xF0) == MB_ICONWARNING ? "warning"
                             : (uStyle & 0xF0) == MB_ICONQUESTION ? "question"
                                                                  : "information";
        std::fprintf(stderr, "%s: %s\n", szKind, ToUtf8(strText).c_str());
    }
    if ((uStyle & 0xF) == MB_YESNO) {
        if (!m_answers.empty()) {
            int n = m_answers.front();
            m_answers.pop_front();
            return n;
        }
        return m_nDefaultYesNo;
    }
    return IDOK;
}

bool CHeadlessUiHost::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    std::lock_guard lock(m_mutex);
    m_posted.push_back({uMsg, wParam, lParam});
    return true;
}

void CHeadlessUiHost::ScriptAnswers(std::vector<int> answers) {
    std::lock_guard lock(m_mutex);
    m_answers.assign(answers.begin(), answers.end());
}

std::vector<RecordedBox> CHeadlessUiHost::Boxes() const {
    std::lock_guard lock(m_mutex);
    return m_boxes;
}

void CHeadlessUiHost::ClearBoxes() {
    std::lock_guard lock(m_mutex);
    m_boxes.clear();
}

std::vector<PostedMessage> CHeadlessUiHost::TakePosted() {
    std::lock_guard lock(m_mutex);
    std::vector<PostedMessage> out;
    out.swap(m_posted);
    return out;
}

CHeadlessUiHost& HeadlessUiHost() {
    static CHeadlessUiHost host;
    return host;
}

IUiHost& UiHost() {
    IUiHost* p = g_pHost.load();
    return p ? *p : HeadlessUiHost();
}

void SetUiHost(IUiHost* pHost) { g_pHost.store(pHost); }

} // namespace velka
