#include "gui/networks/websignupwindow.h"

#include "gui/common/browserwindow.h"
#include "gui/common/datatext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

namespace pw::gui {

namespace {

// A JavaScript string literal holding `text`.
QString Literal(const QString& text)
{
    // A one-element JSON array gives the quoting; strip the brackets.
    const QByteArray json = QJsonDocument(QJsonArray { text }).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

QString Literal(std::string_view data)
{
    return Literal(FromData(data));
}

// Scripts find an element by the expression that reaches it from the frame's
// document; each one runs in the element's frame.
class Frame {
public:
    Frame(QPointer<BrowserWindow> window, QList<int> path)
        : m_window(std::move(window))
        , m_path(std::move(path))
    {
    }

    BrowserWindow::ScriptResult run(const QString& body) const
    {
        if (!m_window)
            return { false, {}, BrowserWindow::closedError() };
        return m_window->runScript(body, m_path);
    }
    const QPointer<BrowserWindow>& window() const { return m_window; }
    const QList<int>& path() const { return m_path; }

private:
    QPointer<BrowserWindow> m_window;
    QList<int> m_path;
};

template <typename T> DomResult<T> Failed(const BrowserWindow::ScriptResult& r)
{
    return DomResult<T>::Fail(ToData(r.error));
}

DomResult<int> RunInteger(const Frame& frame, const QString& body)
{
    const auto r = frame.run(body);
    if (!r.ok)
        return Failed<int>(r);
    bool ok = false;
    const int value = r.value.toInt(&ok);
    if (!ok)
        return DomResult<int>::Fail("not a number");
    return DomResult<int>::Ok(value);
}

Status RunStatus(const Frame& frame, const QString& body)
{
    const auto r = frame.run(body);
    return r.ok ? Status::Ok() : Status::Fail(ToData(r.error));
}

// Finds a property of `e` by name without regard to letter case; throws when
// there is none.
const char* kFindProperty = "function pwProp(e, n) {"
                            "  if (n in e) return n;"
                            "  const want = n.toLowerCase();"
                            "  for (const k in e) if (k.toLowerCase() === want) return k;"
                            "  throw new Error('no property ' + n);"
                            "}\n";

class WebElement : public DomElement {
public:
    WebElement(Frame frame, QString expression)
        : m_frame(std::move(frame))
        , m_expression(std::move(expression))
    {
    }

    DomResult<std::string> ReadProperty(std::string_view name) override
    {
        const auto r = m_frame.run(QString::fromLatin1(kFindProperty)
            + QStringLiteral("const e = %1; const v = e[pwProp(e, %2)];"
                             "return v === null || v === undefined ? '' : String(v);")
                  .arg(m_expression, Literal(name)));
        if (!r.ok)
            return Failed<std::string>(r);
        return DomResult<std::string>::Ok(ToData(r.value.toString()));
    }
    Status WriteText(std::string_view name, std::string_view value) override
    {
        return write(name, Literal(value));
    }
    Status WriteBool(std::string_view name, bool value) override
    {
        return write(name, value ? QStringLiteral("true") : QStringLiteral("false"));
    }
    Status WriteInteger(std::string_view name, int value) override { return write(name, QString::number(value)); }
    DomResult<std::unique_ptr<DomCollection>> All() override;

private:
    Status write(std::string_view name, const QString& value)
    {
        return RunStatus(m_frame,
            QString::fromLatin1(kFindProperty)
                + QStringLiteral("const e = %1; e[pwProp(e, %2)] = %3;").arg(m_expression, Literal(name), value));
    }

    Frame m_frame;
    QString m_expression;
};

class WebCollection : public DomCollection {
public:
    WebCollection(Frame frame, QString expression)
        : m_frame(std::move(frame))
        , m_expression(std::move(expression))
    {
    }

    DomResult<std::unique_ptr<DomElement>> ItemByName(std::string_view name, int index) override
    {
        const DomResult<int> found = RunInteger(m_frame,
            QStringLiteral("const c = %1, n = %2; let k = 0;"
                           "for (let i = 0; i < c.length; ++i) {"
                           "  const e = c[i];"
                           "  if (e.name === n || e.id === n) { if (k === %3) return i; ++k; }"
                           "}"
                           "return -1;")
                .arg(m_expression, Literal(name))
                .arg(index));
        if (!found)
            return DomResult<std::unique_ptr<DomElement>>::Fail(found.status.error);
        if (found.value < 0)
            return DomResult<std::unique_ptr<DomElement>>::Ok(nullptr);
        return element(found.value);
    }
    DomResult<std::unique_ptr<DomElement>> ItemAt(int index) override
    {
        const DomResult<int> length = Length();
        if (!length)
            return DomResult<std::unique_ptr<DomElement>>::Fail(length.status.error);
        if (index < 0 || index >= length.value)
            return DomResult<std::unique_ptr<DomElement>>::Ok(nullptr);
        return element(index);
    }
    DomResult<int> Length() override
    {
        return RunInteger(m_frame, QStringLiteral("return %1.length;").arg(m_expression));
    }

private:
    DomResult<std::unique_ptr<DomElement>> element(int index)
    {
        return DomResult<std::unique_ptr<DomElement>>::Ok(
            std::make_unique<WebElement>(m_frame, QStringLiteral("%1[%2]").arg(m_expression).arg(index)));
    }

    Frame m_frame;
    QString m_expression;
};

DomResult<std::unique_ptr<DomCollection>> WebElement::All()
{
    // A form's controls; any other element's descendants.
    const QString expression
        = QStringLiteral("(function(e){return e.elements ? e.elements : e.getElementsByTagName('*');})(%1)")
              .arg(m_expression);
    return DomResult<std::unique_ptr<DomCollection>>::Ok(std::make_unique<WebCollection>(m_frame, expression));
}

class WebDocument : public DomDocument {
public:
    explicit WebDocument(Frame frame)
        : m_frame(std::move(frame))
    {
    }

    DomResult<std::unique_ptr<DomCollection>> Forms() override
    {
        // Reaching the frame at all tells whether it is still there.
        const auto r = m_frame.run(QStringLiteral("return document.forms.length;"));
        if (!r.ok)
            return Failed<std::unique_ptr<DomCollection>>(r);
        return DomResult<std::unique_ptr<DomCollection>>::Ok(
            std::make_unique<WebCollection>(m_frame, QStringLiteral("document.forms")));
    }
    DomResult<int> FrameCount() override
    {
        return RunInteger(m_frame, QStringLiteral("return window.frames.length;"));
    }
    DomResult<std::unique_ptr<DomDocument>> FrameDocument(int index) override
    {
        using Result = DomResult<std::unique_ptr<DomDocument>>;
        const auto r = m_frame.run(QStringLiteral("const f = window.frames[%1];"
                                                  "if (!f) throw new Error('no frame %1');"
                                                  "try { return f.origin === window.origin && !!f.document; }"
                                                  "catch (e) { return false; }")
                                       .arg(index));
        if (!r.ok)
            return Failed<std::unique_ptr<DomDocument>>(r);
        if (!r.value.toBool())
            return Result::Ok(nullptr); // a frame of another origin is not ours to touch
        QList<int> path = m_frame.path();
        path << index;
        return Result::Ok(std::make_unique<WebDocument>(Frame(m_frame.window(), path)));
    }

private:
    Frame m_frame;
};

} // namespace

WebSignupWindow::WebSignupWindow(BrowserWindow* window)
    : m_window(window)
{
}

WebSignupWindow::~WebSignupWindow() = default;

BrowserWindow* WebSignupWindow::window() const
{
    return m_window;
}

DomResult<int> WebSignupWindow::ReadyState()
{
    if (!m_window || m_window->isClosed())
        return DomResult<int>::Fail(ToData(BrowserWindow::closedError()));
    return DomResult<int>::Ok(m_window->readyState());
}

DomResult<std::unique_ptr<DomDocument>> WebSignupWindow::Document()
{
    if (!m_window || m_window->isClosed())
        return DomResult<std::unique_ptr<DomDocument>>::Fail(ToData(BrowserWindow::closedError()));
    return DomResult<std::unique_ptr<DomDocument>>::Ok(std::make_unique<WebDocument>(Frame(m_window, {})));
}

} // namespace pw::gui
