#pragma once
// The caption strip of the main window's side bar (pbObjectExplorerButton): a surface that
// keeps what is printed on it (an image the size of the strip) and shows it inside a raised
// frame. The main window prints the vertical "Object Explorer" caption on it.

#include <QImage>
#include <QWidget>

namespace morvane {

class ExplorerButton : public QWidget {
    Q_OBJECT
public:
    explicit ExplorerButton(QWidget* parent = nullptr);

    // Clears the kept image to the strip's background.
    void clear();
    // PrintRotatedText on the kept image (x, y in pixels of the strip).
    void printRotated(
        const QString& text, float x, float y, const QString& fontName, int size, float angle, int weight);
    const QImage& image() const { return m_image; }
    QSize sizeHint() const override;

signals:
    // A click on the strip: the user asks for the Object Explorer.
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QImage m_image;
};

}   // namespace morvane
