// Design fonts: the window's Japanese gothic faces are mapped once to the
// installed IPA gothic faces (fontconfig knows no alias for them).
#include <QFontInfo>
#include <QGuiApplication>
#include <QStringList>
#include <mutex>

#include "platform/forms/qt_support.h"

namespace forms {
namespace detail {

void InstallFontSubstitutions() {
  static std::once_flag once;
  std::call_once(once, [] {
    // Fixed-pitch gothic first, then other Japanese gothic faces a system may have.
    QFont::insertSubstitutions(
        QStringLiteral("ＭＳ ゴシック"),
        {QStringLiteral("IPAGothic"), QStringLiteral("Noto Sans Mono CJK JP"),
         QStringLiteral("VL Gothic")});
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"),
                               {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP"),
                                QStringLiteral("VL PGothic")});
  });
}

QFont MakeFont(const FontStyle& params) {
  InstallFontSubstitutions();
  QFont font(ToQString(params.name));
  if (params.points > 0) font.setPointSizeF(params.points);
  font.setBold(params.bold);
  return font;
}

}  // namespace detail

std::string ResolvedFontFamily(const std::string& design_name) {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return {};
  return detail::FromQString(QFontInfo(detail::MakeFont(FontStyle{design_name})).family());
}

}  // namespace forms
