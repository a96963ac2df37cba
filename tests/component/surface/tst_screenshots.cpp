// Pictures of the surface for checking by eye: written to <build>/screenshots at 1x and 2x.

#include "KvBitmaps.h"
#include "KvFloatPanel.h"
#include "KvLinkProp.h"
#include "KvLinks.h"
#include "KvWindow.h"
#include "support/KvTestSupport.h"

#include <QCheckBox>
#include <QDir>
#include <QPainter>
#include <QtTest>

class TestScreenshots : public QObject {
  Q_OBJECT

  static QString Folder() {
    const QString dir = QStringLiteral(KV_BINARY_DIR "/screenshots");
    QDir().mkpath(dir);
    return dir;
  }

  static QImage Render(QWidget* widget, qreal dpr) {
    QPixmap pixmap(widget->size() * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::white);
    widget->render(&pixmap);
    return pixmap.toImage();
  }

  // Largest difference of one colour channel between two images of the same size.
  static int MaxDifference(const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return 256;
    int most = 0;
    for (int y = 0; y < a.height(); ++y)
      for (int x = 0; x < a.width(); ++x) {
        const QRgb p = a.pixel(x, y);
        const QRgb q = b.pixel(x, y);
        most = std::max({most, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                         std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
      }
    return most;
  }

  // A surface with windows in every state and links of every join type.
  static std::unique_ptr<TCustomKvarta> Scene() {
    auto kvarta = MakeKvarta(1100, 640);
    TKvWorkArea* area = kvarta->WorkArea();
    static const TKvTestDataSet project = {{"PROJ_ID", ftFixedChar},
                                           {"PROJ_NAME", ftString},
                                           {"PROJ_DESC", ftMemo},
                                           {"TEAM_LEADER", ftSmallint},
                                           {"PRODUCT", ftString}};
    static const TKvTestDataSet job = {{"JOB_CODE", ftString},    {"JOB_GRADE", ftSmallint},
                                       {"JOB_COUNTRY", ftString}, {"JOB_TITLE", ftString},
                                       {"MIN_SALARY", ftBCD},     {"MAX_SALARY", ftBCD}};
    TKvTableList& list = kvarta->TableList();
    TKvTable* emp = list.Add("EMPLOYEE", &EmployeeFields());
    TKvTable* dept = list.Add("DEPARTMENT", &DepartmentFields());
    TKvTable* proj = list.Add("PROJECT", &project);
    TKvTable* jobs = list.Add("JOB", &job);
    TKvTable* boss = list.Add("EMPLOYEE", &EmployeeFields());
    emp->MoveBy(30 - emp->Left(), 60 - emp->Top());
    dept->MoveBy(330 - dept->Left(), 40 - dept->Top());
    proj->MoveBy(560 - proj->Left(), 210 - proj->Top());
    jobs->MoveBy(330 - jobs->Left(), 300 - jobs->Top());
    boss->MoveBy(820 - boss->Left(), 40 - boss->Top());
    emp->SetWidth(150);
    jobs->SetWidth(140);
    auto row = [](TKvTable* t, const char* name) { return t->FindItem(QLatin1String(name)); };
    TKvLink* inner = area->AddLink(emp, dept, row(emp, "DEPT_NO"), row(dept, "DEPT_NO"));
    TKvLink* left = area->AddLink(emp, jobs, row(emp, "JOB_CODE"), row(jobs, "JOB_CODE"));
    area->AddLink(emp, jobs, row(emp, "JOB_GRADE"), row(jobs, "JOB_GRADE"));
    TKvLink* right = area->AddLink(proj, boss, row(proj, "TEAM_LEADER"), row(boss, "EMP_NO"));
    TKvLink* full = area->AddLink(dept, proj, row(dept, "LOCATION"), row(proj, "PRODUCT"));
    left->Join()->SetJoinType(1);
    right->Join()->SetJoinType(2);
    full->Join()->SetJoinType(3);
    // A routed link with two bend points.
    const QPoint a = inner->Points()[1];
    const QPoint b = inner->Points()[2];
    inner->SetMenuPoint(area->ToClient((a + b) / 2));
    inner->InsertPoint();
    inner->SetPoint(2, QPoint(250, 230));
    inner->SetMenuPoint(area->ToClient((inner->Points()[2] + inner->Points()[3]) / 2));
    inner->InsertPoint();
    inner->SetPoint(3, QPoint(300, 60));
    inner->Recalc();
    // Ticks, a collapsed window, a scrolled window with a selected row, the active window.
    row(emp, "FIRST_NAME")->Click(true);
    row(emp, "LAST_NAME")->Click(true);
    for (TKvListItem* item : dept->Items())
      item->Click(true);
    boss->SetExpanded(false);
    area->SelectObject(jobs);
    jobs->SelectItem(row(jobs, "MAX_SALARY"));
    area->SelectObject(emp);
    emp->SelectItem(row(emp, "JOB_COUNTRY"));
    return kvarta;
  }

private slots:
  void surfaceAt1xAnd2x() {
    auto kvarta = Scene();
    TKvTable* emp = kvarta->TableList().FindTable("EMPLOYEE");
    QVERIFY(emp->TopIndex() > 0);
    for (qreal dpr : {1.0, 2.0}) {
      const QImage image = Render(kvarta.get(), dpr);
      const QString file =
          Folder() + (dpr > 1 ? QStringLiteral("/surface@2x.png") : QStringLiteral("/surface.png"));
      QVERIFY(image.save(file));
      // A close-up of the upper left part, to judge the drawing pixel by pixel.
      const QImage detail = image.copy(QRect(QPoint(0, 40) * dpr, QSize(520, 280) * dpr));
      QVERIFY(detail.scaled(detail.size() * (dpr > 1 ? 1 : 2))
                  .save(Folder() + (dpr > 1 ? QStringLiteral("/detail@2x.png")
                                            : QStringLiteral("/detail.png"))));
      // The active window's caption shows the active caption colour.
      const QPoint caption =
          kvarta->WorkArea()->viewport()->mapTo(kvarta.get(), CaptionPoint(emp) + QPoint(-12, 5));
      QCOMPARE(QColor(image.pixel((caption * dpr))).name(),
               KvColor(kvarta->Palette().ActiveCaption()).name());
    }
  }

  // Windows and links are drawn straight the first time and from their pictures later on; the
  // frames must look the same.
  void firstFrameMatchesLaterFrames() {
    // The pictures are made either when drawn again or when the program is next idle.
    for (const auto& [dpr, idle] : {std::pair(1.0, false), std::pair(2.0, false),
                                    std::pair(1.0, true), std::pair(2.0, true)}) {
      auto kvarta = Scene();
      TKvWorkArea* area = kvarta->WorkArea();
      const QRect clip = area->viewport()->rect();
      // A window partly under another one, so the straight drawing has to keep to what shows.
      TKvTable* emp = kvarta->TableList().FindTable("EMPLOYEE");
      TKvTable* dept = kvarta->TableList().FindTable("DEPARTMENT");
      QVERIFY(emp && dept);
      emp->MoveBy(dept->Left() + 30 - emp->Left(), dept->Top() + 20 - emp->Top());
      QList<QImage> frames;
      for (int i = 0; i < 3; ++i) {
        QImage image(clip.size() * dpr, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(dpr);
        image.fill(Qt::white);
        QPainter p(&image);
        area->PaintSurface(p, clip);
        p.end();
        frames.append(image);
        if (idle) QCoreApplication::processEvents();
      }
      // Links blended straight onto the surface may round one step apart from links blended
      // through their layer where two of them cross; the windows must match to the pixel.
      QVERIFY(MaxDifference(frames[0], frames[1]) <= 1);
      QVERIFY(frames[1] == frames[2]);
      for (TKvTable* table : area->Tables()) {
        const QRect r = QRectF(QRectF(table->ClientBounds()).topLeft() * dpr,
                               QSizeF(table->ClientBounds().size()) * dpr)
                            .toRect();
        QVERIFY2(frames[0].copy(r) == frames[1].copy(r), qPrintable(table->Caption()));
      }
    }
  }

  void linkDialog() {
    auto kvarta = Scene();
    TKvWorkArea* area = kvarta->WorkArea();
    area->SetCurrentLink(area->Links().first());
    TfmLinkProp* dialog = area->LinkPropDialog();
    dialog->FormShow();
    dialog->chLeftOuter->setChecked(true);
    dialog->show();
    QVERIFY(Render(dialog, 1).save(Folder() + "/linkprop.png"));
    QVERIFY(Render(dialog, 2).save(Folder() + "/linkprop@2x.png"));
    dialog->hide();
  }

  void bitmapSheet() {
    const QStringList names = {"BTN1",       "BTN2",       "BTN3",    "CHECKBMP", "UNCHECKBMP",
                               "INPUTNULL",  "INPUTPARAM", "BOX1",    "BOX2",     "BOX3",
                               "TABLEBMP",   "FIELDBMP",   "ADD",     "ADD_ALL",  "REMOVE",
                               "REMOVE_ALL", "DragCursor", "MAINICON"};
    QImage sheet(names.size() * 40, 90, QImage::Format_ARGB32);
    sheet.fill(QColor(0xd8, 0xd8, 0xd8));
    QPainter p(&sheet);
    int x = 2;
    for (const QString& name : names) {
      // The select-all boxes are copied as they are; the others through their mask.
      const bool opaque = name.startsWith("BOX");
      const QPixmap one = opaque ? KvBitmap(name, 1.0) : KvTransparentBitmap(name, 1.0);
      const QPixmap two = opaque ? KvBitmap(name, 2.0) : KvTransparentBitmap(name, 2.0);
      QVERIFY2(!one.isNull() && !two.isNull(), qPrintable(name));
      QCOMPARE(two.size(), one.size() * 2);
      p.drawPixmap(x, 2, one);
      p.drawImage(QRect(x, 40, two.width(), two.height()), two.toImage());
      x += 40;
    }
    p.end();
    QVERIFY(sheet.scaled(sheet.size() * 2).save(Folder() + "/bitmaps.png"));
  }
};

QTEST_MAIN(TestScreenshots)
#include "tst_screenshots.moc"
