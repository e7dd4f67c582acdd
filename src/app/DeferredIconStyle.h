#pragma once

#include <QProxyStyle>

namespace quillet {

// The application's style, with its standard icons read when first drawn rather than when
// asked for. The notes window's frame asks for the title bar's icons of its window menu as it
// is made, and reading and decoding them held up the window's first showing; they look the
// same, drawn from the same pictures.
class DeferredIconStyle : public QProxyStyle
{
public:
    using QProxyStyle::QProxyStyle;

    QIcon standardIcon(StandardPixmap standardIcon, const QStyleOption *option = nullptr,
                       const QWidget *widget = nullptr) const override;
};

} // namespace quillet
