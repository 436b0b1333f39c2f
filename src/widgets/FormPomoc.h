#pragma once
// The program's own help window, for when the desktop has no browser that
// can show the help page. The page is a read-only rich text with a caret,
// which a screen reader reads paragraph by paragraph, Up and Down stepping
// over whole paragraphs (a text browser widget would be reported as a plain
// label and could not be read); Tab goes from link to link and Enter
// follows one, as does a click.

#include <QDialog>
#include <QTextEdit>
#include <QUrl>

class QPushButton;

class TekstPomocy : public QTextEdit {
    Q_OBJECT
public:
    explicit TekstPomocy(QWidget* parent = nullptr);
    // Shows the page at `path`, or says that it is missing.
    void wczytaj(const QString& path);
    // Follows a link of the page: a place in this page, another local page,
    // or (through the desktop) anything else.
    void przejdz(const QString& href);
    QUrl strona() const { return m_strona; }

protected:
    // Tab and Shift+Tab select the next and the previous link; past the
    // last one they leave the text.
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString odnosnikPrzyKursorze() const;
    QUrl m_strona;
};

class TFormPomoc : public QDialog {
    Q_OBJECT
public:
    explicit TFormPomoc(QWidget* parent = nullptr);

    TekstPomocy* TextPomoc = nullptr;
    QPushButton* Button1 = nullptr;

    // Shows the page and brings the window up with the focus at the start of
    // the text. The window does not block the main window. Once it is active
    // it says its title and the page's first line: a screen reader may take
    // the text's caret, set before the window's activation reaches it, as
    // the focus without a word.
    void pokaz(const QString& path);

protected:
    void changeEvent(QEvent* event) override;

private:
    void powiedzStrone();
    bool m_powiedziec = false;
};
