#include "app/prop_sheet.h"

#include "ui/property_page.h"

CPropSheet::CPropSheet(QWidget* parent) : QTabWidget(parent)
{
    // Not displayed (the sheet has no caption bar), kept for accessibility.
    setWindowTitle(QStringLiteral("Quorvel Motor Controller"));
}

void CPropSheet::AddPage(CPropertyPage* page, const QString& title)
{
    // Before Start, so that adding the first page activates nothing yet.
    addTab(page, title);
}

void CPropSheet::Start()
{
    connect(this, &QTabWidget::currentChanged, this, &CPropSheet::OnCurrentChanged);
    // The page shown as the sheet comes into being.
    OnCurrentChanged(currentIndex());
}

CPropertyPage* CPropSheet::Page(int index) const
{
    return qobject_cast<CPropertyPage*>(widget(index));
}

CPropertyPage* CPropSheet::ActivePage() const
{
    return qobject_cast<CPropertyPage*>(currentWidget());
}

void CPropSheet::OnCurrentChanged(int index)
{
    if (CPropertyPage* page = Page(index)) {
        page->OnSetActive();
    }
}
