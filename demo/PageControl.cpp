#include "PageControl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QTabBar>
#include <QWheelEvent>

namespace {

// The tabs route their own page changes through the control's guard.
class TGuardedTabBar : public QTabBar {
public:
  explicit TGuardedTabBar(TPageControl* owner) : m_owner(owner) {}

protected:
  void mousePressEvent(QMouseEvent* event) override {
    const int index = tabAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index >= 0 && index != currentIndex()) {
      m_owner->SelectPage(index);
      event->accept();
      return;
    }
    QTabBar::mousePressEvent(event);
  }
  void keyPressEvent(QKeyEvent* event) override {
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down: {
      const bool forward = event->key() == Qt::Key_Right || event->key() == Qt::Key_Down;
      const int next = m_owner->NextPage(forward);
      if (next >= 0) m_owner->SelectPage(next);
      event->accept();
      return;
    }
    case Qt::Key_Home:
    case Qt::Key_End:
      event->accept();
      return;
    default:
      QTabBar::keyPressEvent(event);
    }
  }
  // Scrolling over the tabs does not flip pages.
  void wheelEvent(QWheelEvent* event) override { event->accept(); }

private:
  TPageControl* m_owner;
};

} // namespace

TPageControl::TPageControl(QWidget* parent) : QTabWidget(parent) {
  setTabBar(new TGuardedTabBar(this));
}

bool TPageControl::SelectPage(int index) {
  if (index < 0 || index >= count()) return false;
  if (index == currentIndex()) return true;
  bool allow = true;
  if (OnChanging) OnChanging(index, allow);
  if (!allow) return false;
  setCurrentIndex(index);
  return currentIndex() == index;
}

int TPageControl::NextPage(bool forward) const {
  const int n = count();
  const int current = currentIndex();
  for (int step = 1; step < n; ++step) {
    const int index = ((current + (forward ? step : -step)) % n + n) % n;
    if (isTabVisible(index) && isTabEnabled(index)) return index;
  }
  return -1;
}

void TPageControl::keyPressEvent(QKeyEvent* event) {
  const bool ctrl = event->modifiers() & Qt::ControlModifier;
  int direction = 0;
  if (ctrl && event->key() == Qt::Key_Tab) direction = 1;
  if (ctrl && event->key() == Qt::Key_Backtab) direction = -1;
  if (ctrl && event->key() == Qt::Key_PageDown) direction = 1;
  if (ctrl && event->key() == Qt::Key_PageUp) direction = -1;
  if (direction == 0) {
    QTabWidget::keyPressEvent(event);
    return;
  }
  const int next = NextPage(direction > 0);
  if (next >= 0) SelectPage(next);
  event->accept();
}
