// Page 4: track recording and the track on the map.
#include <QLabel>
#include <QVBoxLayout>

#include "app/qt_options_pages.h"
#include "shell/string_ids.h"
#include "tracks/file_utils.h"

namespace velka {
namespace {

class CTracksOptionsPage : public COptionsPage {
public:
    CTracksOptionsPage() : COptionsPage(c_nOptionsPageTracks, IDS_OPTIONS_PAGE_TRACKS) {
        m_pRecord = new CSettingCheckBox(u"RecordTrack", false, IDS_MENU_RECORD_TRACK);
        m_pShow = new CSettingCheckBox(u"ShowTrack", true, IDS_OPT_SHOW_TRACK);
        Body()->addWidget(m_pRecord);
        Body()->addWidget(m_pShow);
        Body()->addSpacing(6);
        Body()->addWidget(new QLabel(OptionsText(IDS_OPT_TRACKS_FOLDER)));
        auto* pFolder = new QLabel(QString::fromStdString(TracksFolder()));
        pFolder->setWordWrap(true);
        pFolder->setTextInteractionFlags(Qt::TextSelectableByMouse);
        Body()->addWidget(pFolder);
        Body()->addStretch(1);
    }

    void Apply(COptionsChanges& changes) override {
        if (m_pRecord->Apply()) changes.fTrackRecording = true;
        if (m_pShow->Apply()) changes.fSettings = true;
    }

private:
    CSettingCheckBox* m_pRecord = nullptr;
    CSettingCheckBox* m_pShow = nullptr;
};

} // namespace

std::unique_ptr<COptionsPage> CreateTracksOptionsPage() { return std::make_unique<CTracksOptionsPage>(); }

} // namespace velka
