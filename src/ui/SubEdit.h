#pragma once

#include <QLineEdit>

// The in-place editor of a table cell. Typed characters pass the typing rules or are refused with
// a beep; Enter commits, Escape and focus loss cancel.
class CSubEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CSubEdit(QWidget* parent = nullptr);

    void SetAllowMinus(bool allow) { m_allowMinus = allow; }
    void SetDecimals(int digits) { m_decimals = digits; }
    bool AllowMinus() const { return m_allowMinus; }
    int Decimals() const { return m_decimals; }

signals:
    void Committed(const QString& text);
    void Cancelled();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    bool m_allowMinus = false;
    int m_decimals = 0;
};
