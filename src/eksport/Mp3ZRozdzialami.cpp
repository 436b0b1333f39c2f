#include "eksport/Mp3ZRozdzialami.h"

#include "audio/NaglowekXing.h"
#include "base/ZapisAtomowy.h"

Mp3ZRozdzialami::Mp3ZRozdzialami(ZapisAtomowy& mp3, QString nazwa, Ustawienia ustawienia)
    : m_mp3(mp3), m_nazwa(std::move(nazwa)), m_ustawienia(std::move(ustawienia)) {}

void Mp3ZRozdzialami::zapisz(const OpisKsiazki& opis, const ListaRozdzialow& rozdzialy,
                             const DzwiekRozdzialu& dzwiek) {
    m_mp3.zapisz(tagRozdzialow(opis, rozdzialy, m_ustawienia.okladka));
    const std::vector<unsigned char>& naglowek = m_ustawienia.nowyNaglowek;
    if (!naglowek.empty())
        m_mp3.zapisz(reinterpret_cast<const char*>(naglowek.data()), qint64(naglowek.size()));
    for (int i = 0; i < rozdzialy.size(); ++i)
        dzwiek(i, [this](const char* dane, qint64 dlugosc) { m_mp3.zapisz(dane, dlugosc); });

    // The audio starts after the tag, with the first chapter's information
    // frame where it has one, else the new one: it describes that chapter
    // alone, or nothing, until it is rewritten here for the whole file.
    const WynikNaglowka wynik =
        przepiszNaglowekMp3(m_mp3.deskryptor(), m_nazwa, m_ustawienia.wyrownany,
                            [this] { m_ustawienia.sprawdzPrzerwanie(); });
    if (!wynik.przepisany && wynik.bladDlugosciMs > 1000)
        m_ustawienia.loguj(
            QStringLiteral("Uwaga: pierwszy plik nie zaczyna się ramką informacyjną (Xing/Info), "
                           "więc plik MP3 z rozdziałami nie ma nagłówka z jego długością; inne "
                           "odtwarzacze mogą podawać ją błędną o około %1 s")
                .arg((wynik.bladDlugosciMs + 500) / 1000));
    m_mp3.zsynchronizuj();
}
