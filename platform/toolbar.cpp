#include "platform/dialog.h"
#include "platform/resources.h"
#include "platform/text_codec.h"

#include <QAction>
#include <QToolBar>

BOOL CToolBar::Create(CWnd* parent, DWORD, UINT) {
    auto* dialog = dynamic_cast<CDialog*>(parent);
    if (dialog == nullptr || dialog->m_client == nullptr) return FALSE;
    auto* bar = new QToolBar(dialog->m_client.data());
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setFixedHeight(kHeight);
    bar->show();
    AttachControl(bar);
    m_owner = parent;
    return TRUE;
}

BOOL CToolBar::LoadToolBar(int id) {
    auto* bar = dynamic_cast<QToolBar*>(m_widget.data());
    const platform::ToolBarTemplate* t = platform::FindToolBarTemplate(id);
    if (bar == nullptr || t == nullptr) return FALSE;
    bar->setIconSize(QSize(t->buttonWidth, t->buttonHeight));
    CWnd* owner = m_owner;
    for (UINT command : t->buttons) {
        if (command == 0) {
            bar->addSeparator();
            continue;
        }
        QAction* action = bar->addAction(platform::FindToolBarButtonIcon(command), QString());
        action->setData(command);
        // The tip is also the button's text, which screen readers take for its name; the bar
        // shows icons only.
        TOOLTIPTEXT named{command, {}};
        if (owner->OnToolTipNotify(&named)) action->setText(platform::ToQString(named.text));
        QObject::connect(action, &QAction::triggered, [owner, command] { owner->OnCommand(command); });
        // The pointer resting on a button asks the window for the tip, which Qt then shows.
        QObject::connect(action, &QAction::hovered, [owner, command, action] {
            TOOLTIPTEXT request{command, {}};
            action->setToolTip(owner->OnToolTipNotify(&request) ? platform::ToQString(request.text) : QString());
        });
    }
    return TRUE;
}

std::vector<UINT> CToolBar::Buttons() const {
    std::vector<UINT> ids;
    if (m_widget != nullptr) {
        for (const QAction* action : m_widget->actions()) ids.push_back(action->data().toUInt());
    }
    return ids;
}

QAction* CToolBar::ButtonAction(UINT id) const {
    if (m_widget == nullptr || id == 0) return nullptr;
    for (QAction* action : m_widget->actions()) {
        if (action->data().toUInt() == id) return action;
    }
    return nullptr;
}

CSize CToolBar::CalcFixedLayout(BOOL, BOOL) const {
    if (m_widget == nullptr) return {};
    return {m_widget->sizeHint().width(), kHeight};
}

void CToolBar::EnableButton(UINT id, BOOL enable) {
    if (QAction* action = ButtonAction(id)) action->setEnabled(enable != FALSE);
}

BOOL CToolBar::IsButtonEnabled(UINT id) const {
    const QAction* action = ButtonAction(id);
    return action != nullptr && action->isEnabled() ? TRUE : FALSE;
}
