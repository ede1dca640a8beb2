#pragma once
// Keeps controls placed by hand in step with a container that grows beyond
// the size they were placed for: a control anchored to the right or bottom
// edge keeps its distance to that edge, one anchored to both opposite edges
// grows with the container. Controls anchored to the left and top only stay
// where they are.

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <vector>

namespace kf {

class TAnchors : public QObject {
public:
    enum Edge { Left = 1, Top = 2, Right = 4, Bottom = 8 };

    // container: the widget whose growth the controls follow (watched, not
    // owned; the anchors go with it); a control may sit deeper in it, as on
    // a page of a tab widget that grows with the container. designSize: the
    // container's size the controls' geometries were given for.
    TAnchors(QWidget *container, QSize designSize);

    // Anchors a control at its present geometry (given for the design size).
    void Add(QWidget *control, int edges);
    // Places every control for the container's present size.
    void Apply();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Item {
        QPointer<QWidget> control;
        QRect designRect;
        int edges;
    };
    QWidget *m_container; // not owned
    QSize m_designSize;
    std::vector<Item> m_items;
};

} // namespace kf
