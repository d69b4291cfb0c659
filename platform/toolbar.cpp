#include "platform/dialog.h"
#include "platform/resources.h"
#include "platform/text_codec.h"
#include "platform/widgets.h"

#include <QAction>
#include <QHelpEvent>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

namespace {

// Answers a toolbar button's tool tip from its window's OnToolTipNotify.
class ToolTipFilter : public QObject {
public:
    ToolTipFilter(CWnd* owner, UINT commandId, QObject* parent)
        : QObject(parent), m_owner(owner), m_commandId(commandId) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ToolTip) return false;
        TOOLTIPTEXT request{m_commandId, {}};
        auto* help = static_cast<QHelpEvent*>(event);
        if (m_owner->OnToolTipNotify(&request) && !request.text.empty()) {
            QToolTip::showText(help->globalPos(), platform::ToQString(request.text), static_cast<QWidget*>(watched));
        } else {
            QToolTip::hideText();
        }
        return true;
    }

private:
    CWnd* m_owner;
    UINT m_commandId;
};

}  // namespace

BOOL CToolBar::Create(CWnd* parent, DWORD, UINT) {
    auto* dialog = dynamic_cast<CDialog*>(parent);
    if (dialog == nullptr || dialog->m_client == nullptr) return FALSE;
    auto* bar = new QToolBar(dialog->m_client);
    bar->setObjectName(QStringLiteral("toolbar"));
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(16, 15));
    bar->setFixedHeight(kHeight);
    bar->show();
    AttachControl(bar);
    m_owner = parent;
    dialog->m_toolBar = this;
    return TRUE;
}

BOOL CToolBar::LoadToolBar(int id) {
    auto* bar = dynamic_cast<QToolBar*>(m_widget.data());
    const platform::ToolBarTemplate* t = platform::FindToolBarTemplate(id);
    if (bar == nullptr || t == nullptr) return FALSE;
    m_buttons = t->buttons;
    CWnd* owner = m_owner;
    for (UINT command : t->buttons) {
        if (command == 0) {
            bar->addSeparator();
            continue;
        }
        QAction* action = bar->addAction(platform::FindToolBarButtonIcon(command), QString());
        action->setObjectName(QStringLiteral("cmd_%1").arg(command));
        QObject::connect(action, &QAction::triggered, [owner, command] { owner->OnCommand(command); });
        if (QWidget* button = bar->widgetForAction(action)) {
            button->setObjectName(QStringLiteral("button_%1").arg(command));
            button->installEventFilter(new ToolTipFilter(owner, command, button));
        }
    }
    return TRUE;
}

CSize CToolBar::CalcFixedLayout(BOOL, BOOL) const {
    if (m_widget == nullptr) return {};
    return {m_widget->sizeHint().width(), kHeight};
}

void CToolBar::EnableButton(UINT id, BOOL enable) {
    if (m_widget == nullptr) return;
    if (auto* action = m_widget->findChild<QAction*>(QStringLiteral("cmd_%1").arg(id)))
        action->setEnabled(enable != FALSE);
}

BOOL CToolBar::IsButtonEnabled(UINT id) const {
    if (m_widget == nullptr) return FALSE;
    const auto* action = m_widget->findChild<QAction*>(QStringLiteral("cmd_%1").arg(id));
    return action != nullptr && action->isEnabled() ? TRUE : FALSE;
}
