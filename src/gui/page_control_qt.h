// The page control: a page per tab, with tabs that wrap into further rows when they do not fit
// in one, so that every caption stays readable in full (Qt's own tab bar only elides or
// scrolls).
#pragma once

#include <QString>
#include <QWidget>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QFrame;
class QStackedWidget;
class QToolButton;

namespace hw {

class PageControl : public QWidget {
    Q_OBJECT
  public:
    explicit PageControl(QWidget* parent = nullptr);

    int addTab(QWidget* page, const QString& text);
    int count() const { return static_cast<int>(tabs_.size()); }
    QString tabText(int index) const;
    void setTabText(int index, const QString& text);
    void setTabEnabled(int index, bool enabled);
    int currentIndex() const;
    void setCurrentIndex(int index);
    QWidget* widget(int index) const;
    QAbstractButton* tabButton(int index) const;
    // How much larger than at the default font the tabs are drawn.
    void setScale(double scale);

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void relayout();
    void step(int delta);

    QButtonGroup* group_;
    QFrame* frame_;
    QStackedWidget* stack_;
    std::vector<QToolButton*> tabs_;
    double scale_ = 1.0;
};

}  // namespace hw
