// The bundled command icons as Qt loads them from the resource file: each one
// renders (Qt's SVG renderer reads a subset of SVG) and no two look alike.

#include "../../resources/icons/commandicons.h"

#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QTest>

#include <map>

class IconsTest : public QObject {
    Q_OBJECT

private slots:
    void everyCommandIconRendersAndIsDistinct()
    {
        std::map<QByteArray, QString> seen;
        for (const auto& entry : pw::icons::kCommandIcons) {
            const QString resource = QString::fromLatin1(entry.resource);
            const QString name = QString::fromLatin1(entry.objectName);
            QVERIFY2(QFile::exists(resource), qPrintable(name + QStringLiteral(": ") + resource));
            for (int size : { 16, 24 }) {
                const QImage image
                    = QIcon(resource).pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
                QVERIFY2(!image.isNull(), qPrintable(resource));
                QCOMPARE(image.width(), size);
                int painted = 0;
                for (int y = 0; y < image.height(); ++y)
                    for (int x = 0; x < image.width(); ++x)
                        painted += qAlpha(image.pixel(x, y)) > 128;
                // A drawn icon covers a fair part of its square, and not all of it.
                QVERIFY2(painted > size * size / 10, qPrintable(resource + QStringLiteral(" is nearly empty")));
                QVERIFY2(
                    painted < size * size * 9 / 10, qPrintable(resource + QStringLiteral(" fills its square")));
                if (size == 24) {
                    const QByteArray bytes(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
                    const auto [it, fresh] = seen.emplace(bytes, name);
                    QVERIFY2(fresh, qPrintable(name + QStringLiteral(" looks like ") + it->second));
                }
            }
        }
        QVERIFY(seen.size() >= 20);
    }

    void programIconRenders()
    {
        const QIcon icon(QString::fromLatin1(pw::icons::kProgramIconResource));
        const QImage image = icon.pixmap(64, 64).toImage();
        QVERIFY(!image.isNull());
        QCOMPARE(image.width(), 64);
        QVERIFY(qAlpha(image.pixel(32, 32)) == 255);
    }
};

QTEST_MAIN(IconsTest)
#include "icons_qt_test.moc"
