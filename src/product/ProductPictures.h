#pragma once
// What the splash and about windows share: the maker's texts (from ProductTexts.h), the pictures (painted by the
// program itself) and the scaling of their layouts, which are designed at 120 pixels per inch.

#include <QFont>
#include <QPixmap>
#include <QString>
#include <string_view>

class QWidget;

namespace corvane {

// One of the shared product texts (ProductTexts.h) as a QString.
QString ProductText(std::u16string_view Text);
// The maker's texts of ProductTexts.h as the Qt windows use them.
QString HalvernNotice(const QString& Year);
QString HalvernRights();
QString HalvernWebAddress();
QString HalvernMailAddress();

// Screen pixels per design pixel for the screen the widget is on (or the primary screen).
double DesignScale(const QWidget* Widget);
int ScaleDesign(int Value, double Scale);
// A font whose cell (ascent plus descent) is about CellHeight pixels high.
QFont FontForCellHeight(const QString& Family, int CellHeight, bool Bold);

// The splash picture: a dark blue field with a stylised waveform.
QPixmap PaintSplashPicture(const QSize& Size);
// The band under the about window's panel.
QPixmap PaintAboutPicture(const QSize& Size);

}  // namespace corvane
