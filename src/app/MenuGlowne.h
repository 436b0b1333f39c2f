#pragma once
// The main window's menu bar, its context menu and their actions, with
// their object names, captions and keys. The main window holds them (it
// derives from this) and builds them once; each action runs one command of
// the window through its guard.

class QAction;
class QMenu;
class TMainForm;

class MenuGlowne {
protected:
    void utworzMenu(TMainForm& okno);

    QMenu* m_Plik1 = nullptr;
    QMenu* m_Kopiujnakart1 = nullptr;
    QMenu* m_Edycja2 = nullptr;
    QMenu* m_Odtwarzacz1 = nullptr;
    QMenu* m_Narzdzia1 = nullptr;
    QMenu* m_Pomoc1 = nullptr;
    QMenu* m_PopupMenu1 = nullptr;
    QMenu* m_Ostatnieprojekty1 = nullptr;

    QAction* m_Nowyprojekt1 = nullptr;
    QAction* m_OtworzProjekt1 = nullptr;
    QAction* m_Zapiszprojekt1 = nullptr;
    QAction* m_Zapiszprojektjako1 = nullptr;
    QAction* m_Scalajpliki1 = nullptr;
    QAction* m_Eksportujksiazke1 = nullptr;
    QAction* m_Plikaudio1 = nullptr;
    QAction* m_Plikzakadki1 = nullptr;
    QAction* m_SprawdzKsiazke1 = nullptr;
    QAction* m_WysunKarte1 = nullptr;
    QAction* m_Wolnemiejscenakarcie1 = nullptr;
    QAction* m_Zamknij1 = nullptr;
    QAction* m_Dodaj2 = nullptr;
    QAction* m_Wstaw2 = nullptr;
    QAction* m_Usu1 = nullptr;
    QAction* m_Cofnij1 = nullptr;
    QAction* m_Ponow1 = nullptr;
    QAction* m_PrzesunWGore1 = nullptr; // also in the context menu
    QAction* m_PrzesunWDol1 = nullptr;
    QAction* m_OdtworZzakladke1 = nullptr;
    QAction* m_Odtwrzplik1 = nullptr;
    QAction* m_Stop1 = nullptr;
    QAction* m_Pauza1 = nullptr;
    QAction* m_Ustawienia1 = nullptr;
    QAction* m_Wstawodcinki1 = nullptr;
    QAction* m_Wykryjzakadki1 = nullptr;
    QAction* m_Podsumowanieksiazki1 = nullptr;
    QAction* m_Glosnosc1 = nullptr;
    QAction* m_Ksiazkinakarcie1 = nullptr;
    QAction* m_Przegladzakladek1 = nullptr;
    QAction* m_Dopasujdoprzerw1 = nullptr;
    QAction* m_Importujksiazke1 = nullptr;
    QAction* m_Dodajfolder1 = nullptr; // also in the context menu
    QAction* m_Oprogramie1 = nullptr;
    QAction* m_StronaWww1 = nullptr;
    QAction* m_Pomoc2 = nullptr;
    // Context menu of the list.
    QAction* m_Dodaj1 = nullptr;
    QAction* m_Usun1 = nullptr;
    QAction* m_Wstaw1 = nullptr;
    QAction* m_UstawZakladke1 = nullptr;
    QAction* m_OdtowrzZakladke1 = nullptr;
    QAction* m_OdtworzPlik1 = nullptr;

private:
    // "Ostatnie projekty" in "Plik": eight items made once.
    void utworzMenuOstatnich(TMainForm& okno);
};
