// Page 3: the language of the program's texts. A new language is shown
// after the restart that applying it asks for.
#include <QComboBox>
#include <QLabel>
#include <QVBoxLayout>
#include <vector>

#include "app/qt_options_pages.h"
#include "shell/language_choice.h"

namespace velka {
namespace {

class CLanguageOptionsPage : public COptionsPage {
public:
    CLanguageOptionsPage() : COptionsPage(c_nOptionsPageLanguage, IDS_OPTIONS_PAGE_LANGUAGE) {
        m_vecChoices = ListLanguages();
        m_pCombo = MakeCompactComboBox();
        m_langPending = EffectiveLanguage();
        for (std::size_t i = 0; i < m_vecChoices.size(); ++i) {
            m_pCombo->addItem(ToOptionsQString(m_vecChoices[i].strName));
            if (m_vecChoices[i].lang == m_langPending) m_pCombo->setCurrentIndex(static_cast<int>(i));
        }
        Body()->addWidget(new QLabel(OptionsText(IDS_OPT_LANGUAGE)));
        Body()->addWidget(m_pCombo);
        auto* pNote = new QLabel(OptionsText(IDS_OPT_LANGUAGE_RESTART));
        pNote->setWordWrap(true);
        Body()->addWidget(pNote);
        Body()->addStretch(1);
    }

    void Apply(COptionsChanges& changes) override {
        const int n = m_pCombo->currentIndex();
        if (n < 0 || static_cast<std::size_t>(n) >= m_vecChoices.size()) return;
        if (ApplyLanguageChoice(m_vecChoices[static_cast<std::size_t>(n)].lang, &m_langPending)) changes.fRestart = true;
    }

private:
    std::vector<LanguageChoice> m_vecChoices;
    QComboBox* m_pCombo = nullptr;
    LANGID m_langPending = c_langBuiltin;
};

} // namespace

std::unique_ptr<COptionsPage> CreateLanguageOptionsPage() { return std::make_unique<CLanguageOptionsPage>(); }

} // namespace velka
