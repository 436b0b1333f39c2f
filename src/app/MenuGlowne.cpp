#include "app/MenuGlowne.h"

#include "app/MainForm.h"
#include "widgets/Ulatwienia.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <functional>

void MenuGlowne::utworzMenu(TMainForm& okno) {
    auto item = [&okno](QMenu* menu, const char* name, const QString& caption,
                        const QKeySequence& shortcut,
                        const std::function<void(TMainForm&)>& handler) {
        auto* action = new QAction(caption, &okno);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(shortcut);
        menu->addAction(action);
        QObject::connect(action, &QAction::triggered, &okno,
                         [o = &okno, handler] { o->guard([&] { handler(*o); }); });
        return action;
    };
    auto menu = [&okno](const char* name, const QString& caption) {
        QMenu* m = okno.menuBar()->addMenu(caption);
        m->setObjectName(QString::fromLatin1(name));
        return m;
    };
    const QKeySequence none;
    const auto odtworzZakladke = [](TMainForm& o) { o.m_odtwarzanie->odtworzZakladkeWiersza(); };
    const auto odtworzPlik = [](TMainForm& o) { o.m_odtwarzanie->OdtworzPlik(); };

    m_Plik1 = menu("Plik1", QStringLiteral("&Plik"));
    m_Nowyprojekt1 = item(m_Plik1, "Nowyprojekt1", QStringLiteral("&Nowy projekt"),
                          QKeySequence(Qt::CTRL | Qt::Key_N), &TMainForm::Nowyprojekt1Click);
    m_OtworzProjekt1 = item(m_Plik1, "OtworzProjekt1", QStringLiteral("&Otwórz projekt"),
                            QKeySequence(Qt::CTRL | Qt::Key_O), &TMainForm::OtworzProjekt1Click);
    m_Dodajfolder1 = item(m_Plik1, "Dodajfolder1", QStringLiteral("Dodaj &folder..."),
                          QKeySequence(Qt::CTRL | Qt::Key_F5), &TMainForm::Dodajfolder1Click);
    m_Importujksiazke1 =
        item(m_Plik1, "Importujksiazke1", QStringLiteral("&Importuj książkę..."),
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), &TMainForm::Importujksiazke1Click);
    m_Zapiszprojekt1 = item(m_Plik1, "Zapiszprojekt1", QStringLiteral("&Zapisz projekt"),
                            QKeySequence(Qt::CTRL | Qt::Key_S), &TMainForm::Zapiszprojekt1Click);
    m_Zapiszprojektjako1 =
        item(m_Plik1, "Zapiszprojektjako1", QStringLiteral("Zapisz projekt &jako..."), none,
             &TMainForm::Zapiszprojektjako1Click);
    m_Scalajpliki1 = item(m_Plik1, "Scalajpliki1", QStringLiteral("&Scalaj pliki..."),
                          QKeySequence(Qt::Key_F12), &TMainForm::Scalajpliki1Click);
    m_Eksportujksiazke1 =
        item(m_Plik1, "Eksportujksiazke1", QStringLiteral("&Eksportuj książkę..."),
             QKeySequence(Qt::CTRL | Qt::Key_E), &TMainForm::Eksportujksiazke1Click);
    m_Kopiujnakart1 = m_Plik1->addMenu(QStringLiteral("&Kopiuj na kartę"));
    m_Kopiujnakart1->setObjectName(QStringLiteral("Kopiujnakart1"));
    m_Plikaudio1 = item(m_Kopiujnakart1, "Plikaudio1", QStringLiteral("Plik &audio..."),
                        QKeySequence(Qt::CTRL | Qt::Key_K), &TMainForm::Plikaudio1Click);
    m_Plikzakadki1 = item(m_Kopiujnakart1, "Plikzakadki1", QStringLiteral("Plik &zakładki..."),
                          QKeySequence(Qt::CTRL | Qt::Key_L), &TMainForm::Plikzakadki1Click);
    m_Kopiujnakart1->addSeparator();
    m_SprawdzKsiazke1 =
        item(m_Kopiujnakart1, "SprawdzKsiazke1", QStringLiteral("&Sprawdź książkę na karcie..."),
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_K), &TMainForm::SprawdzKsiazke1Click);
    m_WysunKarte1 =
        item(m_Kopiujnakart1, "WysunKarte1", QStringLiteral("&Wysuń kartę"),
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E), &TMainForm::WysunKarte1Click);
    m_Wolnemiejscenakarcie1 =
        item(m_Plik1, "Wolnemiejscenakarcie1", QStringLiteral("&Wolne miejsce na karcie"),
             QKeySequence(Qt::Key_F4), &TMainForm::Wolnemiejscenakarcie1Click);
    utworzMenuOstatnich(okno);
    m_Zamknij1 =
        item(m_Plik1, "Zamknij1", QStringLiteral("Za&mknij"), none, &TMainForm::Zamknij1Click);

    m_Edycja2 = menu("Edycja2", QStringLiteral("&Edycja"));
    m_Dodaj2 = item(m_Edycja2, "Dodaj2", QStringLiteral("&Dodaj..."), QKeySequence(Qt::Key_F5),
                    &TMainForm::Dodaj2Click);
    m_Wstaw2 = item(m_Edycja2, "Wstaw2", QStringLiteral("&Wstaw..."),
                    QKeySequence(Qt::SHIFT | Qt::Key_F5), &TMainForm::Wstaw2Click);
    m_Usu1 = item(m_Edycja2, "Usu1", QStringLiteral("&Usuń"), QKeySequence(Qt::Key_F8),
                  &TMainForm::Usu1Click);
    m_Edycja2->addSeparator();
    m_PrzesunWGore1 = item(m_Edycja2, "PrzesunWGore1", QStringLiteral("Przesuń w &górę"),
                           QKeySequence(Qt::ALT | Qt::Key_Up), &TMainForm::PrzesunWGore1Click);
    m_PrzesunWDol1 = item(m_Edycja2, "PrzesunWDol1", QStringLiteral("Przesuń w dó&ł"),
                          QKeySequence(Qt::ALT | Qt::Key_Down), &TMainForm::PrzesunWDol1Click);
    m_Edycja2->addSeparator();
    // The captions name the step (polaczHistorie).
    m_Cofnij1 = item(m_Edycja2, "Cofnij1", QStringLiteral("&Cofnij"),
                     QKeySequence(Qt::CTRL | Qt::Key_Z), &TMainForm::Cofnij1Click);
    m_Ponow1 = item(m_Edycja2, "Ponow1", QStringLiteral("&Ponów"),
                    QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &TMainForm::Ponow1Click);
    m_Ponow1->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});

    m_Odtwarzacz1 = menu("Odtwarzacz1", QStringLiteral("&Odtwarzacz"));
    m_OdtworZzakladke1 = item(m_Odtwarzacz1, "OdtworZzakladke1",
                              QStringLiteral("Odtwórz &zakładke"), none, odtworzZakladke);
    m_Odtwrzplik1 =
        item(m_Odtwarzacz1, "Odtwrzplik1", QStringLiteral("Odtwórz &plik"), none, odtworzPlik);
    m_Stop1 = item(m_Odtwarzacz1, "Stop1", QStringLiteral("&Stop"), none,
                   [](TMainForm& o) { o.m_odtwarzanie->Stop(); });
    m_Pauza1 =
        item(m_Odtwarzacz1, "Pauza1", QStringLiteral("P&auza"), QKeySequence(Qt::CTRL | Qt::Key_D),
             [](TMainForm& o) { o.m_odtwarzanie->pauza(); });

    m_Narzdzia1 = menu("Narzdzia1", QStringLiteral("&Narzędzia"));
    m_Ustawienia1 = item(m_Narzdzia1, "Ustawienia1", QStringLiteral("&Ustawienia..."), none,
                         &TMainForm::Ustawienia1Click);
    m_Wstawodcinki1 = item(m_Narzdzia1, "Wstawodcinki1", QStringLiteral("Wstaw &odcinki"), none,
                           &TMainForm::Wstawodcinki1Click);
    m_Wykryjzakadki1 = item(m_Narzdzia1, "Wykryjzakadki1", QStringLiteral("&Wykryj zakładki"), none,
                            &TMainForm::Wykryjzakadki1Click);
    m_Przegladzakladek1 =
        item(m_Narzdzia1, "Przegladzakladek1", QStringLiteral("P&rzegląd zakładek..."),
             QKeySequence(Qt::CTRL | Qt::Key_R), &TMainForm::Przegladzakladek1Click);
    m_Dopasujdoprzerw1 =
        item(m_Narzdzia1, "Dopasujdoprzerw1", QStringLiteral("&Dopasuj zakładki do przerw"),
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R), &TMainForm::Dopasujdoprzerw1Click);
    m_Podsumowanieksiazki1 =
        item(m_Narzdzia1, "Podsumowanieksiazki1", QStringLiteral("&Podsumowanie książki"),
             QKeySequence(Qt::CTRL | Qt::Key_I), &TMainForm::Podsumowanieksiazki1Click);
    m_Glosnosc1 = item(m_Narzdzia1, "Glosnosc1", QStringLiteral("&Głośność"),
                       QKeySequence(Qt::CTRL | Qt::Key_G), &TMainForm::Glosnosc1Click);
    m_Ksiazkinakarcie1 =
        item(m_Narzdzia1, "Ksiazkinakarcie1", QStringLiteral("&Książki na karcie..."),
             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F4), &TMainForm::Ksiazkinakarcie1Click);

    m_Pomoc1 = menu("Pomoc1", QStringLiteral("Pomo&c"));
    m_Oprogramie1 = item(m_Pomoc1, "Oprogramie1", QStringLiteral("&O programie..."), none,
                         &TMainForm::Oprogramie1Click);
    m_StronaWww1 =
        item(m_Pomoc1, "StronaWww1", TMainForm::adresWww(), none, &TMainForm::StronaWww1Click);
    m_Pomoc2 = item(m_Pomoc1, "Pomoc2", QStringLiteral("&Pomoc..."), QKeySequence(Qt::Key_F1),
                    &TMainForm::Pomoc2Click);

    // The context menu. F5, Shift+F5 and F8 are shown here but taken by the
    // main menu's items, which run the same operations, so a key never runs
    // an operation twice. F2 exists only here and acts in the list.
    m_PopupMenu1 = new QMenu(&okno);
    m_PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    m_Dodaj1 = item(m_PopupMenu1, "Dodaj1", QStringLiteral("&Dodaj"), QKeySequence(Qt::Key_F5),
                    &TMainForm::Dodaj2Click);
    m_PopupMenu1->addAction(m_Dodajfolder1); // the same command in both menus
    m_Usun1 = item(m_PopupMenu1, "Usun1", QStringLiteral("&Usuń"), QKeySequence(Qt::Key_F8),
                   &TMainForm::Usu1Click);
    m_Wstaw1 = item(m_PopupMenu1, "Wstaw1", QStringLiteral("&Wstaw plik"),
                    QKeySequence(Qt::SHIFT | Qt::Key_F5), &TMainForm::Wstaw2Click);
    m_UstawZakladke1 = item(m_PopupMenu1, "UstawZakladke1", QStringLiteral("Ustaw &zakładkę"),
                            QKeySequence(Qt::Key_F2), &TMainForm::UstawZakladke1Click);
    m_OdtowrzZakladke1 = item(m_PopupMenu1, "OdtowrzZakladke1", QStringLiteral("Odtwórz z&akładke"),
                              none, odtworzZakladke);
    for (QAction* odtworz : {m_OdtworZzakladke1, m_OdtowrzZakladke1})
        slyszaneJako(odtworz, {{QStringLiteral("zakładke"), QStringLiteral("zakładkę")}});
    m_OdtworzPlik1 =
        item(m_PopupMenu1, "OdtworzPlik1", QStringLiteral("Odtwórz &plik"), none, odtworzPlik);
    // Moving is the same command in both menus.
    m_PopupMenu1->addSeparator();
    m_PopupMenu1->addAction(m_PrzesunWGore1);
    m_PopupMenu1->addAction(m_PrzesunWDol1);
    for (QAction* shared : {m_Dodaj1, m_Usun1, m_Wstaw1})
        shared->setShortcutContext(Qt::WidgetShortcut); // only while the menu itself has focus
    m_UstawZakladke1->setShortcutContext(Qt::WindowShortcut);
    okno.addAction(m_UstawZakladke1);
    mowPowodyNieczynnych(&okno,
                         [o = &okno](const QAction* akcja) { return o->powodNieczynnego(akcja); });
}

// Eight items made once; those beyond the list are hidden.
void MenuGlowne::utworzMenuOstatnich(TMainForm& okno) {
    m_Ostatnieprojekty1 = m_Plik1->addMenu(QStringLiteral("Os&tatnie projekty"));
    m_Ostatnieprojekty1->setObjectName(QStringLiteral("Ostatnieprojekty1"));
    for (int numer = 1; numer <= StanProgramu::kMaksOstatnich; ++numer) {
        QAction* a = m_Ostatnieprojekty1->addAction(QString());
        a->setObjectName(QStringLiteral("Ostatni%1").arg(numer));
        QObject::connect(a, &QAction::triggered, &okno, [o = &okno, numer] {
            o->guard([&] { o->m_lista->otworzOstatni(numer); });
        });
    }
    // A project that is gone since is shown disabled the moment the menu opens.
    QObject::connect(m_Ostatnieprojekty1, &QMenu::aboutToShow, &okno,
                     [o = &okno] { o->odswiezOstatnie(); });
}
