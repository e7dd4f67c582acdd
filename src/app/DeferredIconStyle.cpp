#include "app/DeferredIconStyle.h"

#include "platform/DeferredIcon.h"

#include <QPointer>

namespace quillet {

QIcon DeferredIconStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption *option,
                                      const QWidget *widget) const
{
    // An icon for particular options is read now: the options do not outlive this call.
    if (option || !baseStyle())
        return QProxyStyle::standardIcon(standardIcon, option, widget);
    return deferredIcon([style = QPointer<QStyle>(baseStyle()), standardIcon,
                         widget = QPointer<const QWidget>(widget)] {
        return style ? style->standardIcon(standardIcon, nullptr, widget) : QIcon();
    });
}

} // namespace quillet
