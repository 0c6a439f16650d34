#pragma once
// The platform style with one change: a password box shows every character as '*'.

#include <QProxyStyle>

namespace dsadmin {

class StarPasswordStyle : public QProxyStyle {
  public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};

}  // namespace dsadmin
