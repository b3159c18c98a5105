// The atlas dialog (command 40022): the atlases the user has (name, maps,
// folder; the open one marked), and the commands on them: open, add a
// folder (indexed at once), re-index, remove from the list. Indexing shows
// a progress window with a cancel button; a cancel keeps the old index.
#pragma once
#include <QDialog>

#include "mapdata/atlas_list.h"

class QTableWidget;

namespace velka {

class CAtlasDialog : public QDialog {
public:
    explicit CAtlasDialog(QWidget* pParent = nullptr);

    // Indexes the folder with the progress window; the number of maps or a
    // result of ReindexAtlas.
    static int Reindex(QWidget* pParent, const std::u16string& strFolder);

private:
    void Fill();
    int Selected() const;
    void Open();
    void Add();
    void Reindex();
    void Remove();

    QTableWidget* m_pTable = nullptr;
    std::vector<CAtlasListEntry> m_list;
};

// 40022: the dialog over the active window.
void ShowAtlasDialog();
// The map-cache gauge: the maps the open atlas holds open (0 without one).
int MapsInAtlasCache();

} // namespace velka
