#include "eksport/TagiMp3.h"

#include "base/Paths.h"
#include "base/Text.h"

#include <QFile>
#include <QLocale>

#include <attachedpictureframe.h>
#include <chapterframe.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <tableofcontentsframe.h>
#include <textidentificationframe.h>

namespace {

TagLib::String tekstTagu(const QString& tekst) {
    return TagLib::String(bezZnakowSpozaXml(tekst).toStdString(), TagLib::String::UTF8);
}

QString tekstQt(const TagLib::String& tekst) {
    return QString::fromStdString(tekst.to8Bit(true)).trimmed();
}

TagLib::ID3v2::Frame* ramkaTekstu(const char* id, const QString& tekst) {
    auto* ramka = new TagLib::ID3v2::TextIdentificationFrame(id, TagLib::String::UTF8);
    ramka->setText(tekstTagu(tekst));
    return ramka;
}

} // namespace

TagWpisu czytajTagWpisu(const QString& sciezka) {
    TagWpisu wynik;
    const QByteArray nazwa = nazwaDlaSystemu(sciezka);
    TagLib::MPEG::File plik(nazwa.constData(), false);
    if (!plik.isValid() || !plik.tag())
        return wynik;
    const TagLib::Tag* tag = plik.tag();
    wynik.tytul = tekstQt(tag->title());
    wynik.album = tekstQt(tag->album());
    wynik.wykonawca = tekstQt(tag->artist());
    return wynik;
}

Okladka okladkaZTagu(const QString& sciezka, qint64 maksimum) {
    const QByteArray nazwa = QFile::encodeName(sciezka);
    TagLib::MPEG::File plik(nazwa.constData(), false);
    Okladka wynik;
    if (!plik.isValid() || !plik.hasID3v2Tag())
        return wynik;
    const TagLib::ID3v2::FrameList ramki = plik.ID3v2Tag()->frameListMap()["APIC"];
    for (int przebieg = 0; przebieg < 2 && wynik.dane.isEmpty(); ++przebieg) {
        for (const TagLib::ID3v2::Frame* r : ramki) {
            const auto* obraz = dynamic_cast<const TagLib::ID3v2::AttachedPictureFrame*>(r);
            if (!obraz ||
                (przebieg == 0 && obraz->type() != TagLib::ID3v2::AttachedPictureFrame::FrontCover))
                continue;
            const TagLib::ByteVector dane = obraz->picture();
            if (dane.size() == 0 || qint64(dane.size()) > maksimum)
                continue;
            const QByteArray bajty(dane.data(), qsizetype(dane.size()));
            if (bajty.startsWith("\xFF\xD8\xFF"))
                wynik.typ = QStringLiteral("image/jpeg");
            else if (bajty.startsWith("\x89PNG\r\n\x1A\n"))
                wynik.typ = QStringLiteral("image/png");
            else
                continue;
            wynik.dane = bajty;
            break;
        }
    }
    return wynik;
}

QString tytulRozdzialuId3(const QString& tytul) {
    constexpr qsizetype kMaks = 126; // and the encoding byte: below 128
    if (tytul.toUtf8().size() <= kMaks)
        return tytul;
    const QString wielokropek = QStringLiteral("…");
    QString wynik;
    qsizetype bajty = wielokropek.toUtf8().size();
    for (qsizetype i = 0; i < tytul.size();) {
        const qsizetype n = (tytul.at(i).isHighSurrogate() && i + 1 < tytul.size()) ? 2 : 1;
        const qsizetype b = tytul.mid(i, n).toUtf8().size();
        if (bajty + b > kMaks)
            break;
        wynik += tytul.mid(i, n);
        bajty += b;
        i += n;
    }
    return wynik.trimmed() + wielokropek;
}

QString kodJezykaId3(const QString& jezyk) {
    const QString glowny = jezyk.section(u'-', 0, 0).section(u'_', 0, 0);
    const QLocale::Language l = QLocale::codeToLanguage(glowny);
    if (glowny.isEmpty() || l == QLocale::AnyLanguage || l == QLocale::C)
        return QStringLiteral("und");
    const QString kod = QLocale::languageToCode(l, QLocale::ISO639Part2);
    return kod.size() == 3 ? kod : QStringLiteral("und");
}

QByteArray tagRozdzialow(const OpisKsiazki& opis, const ListaRozdzialow& rozdzialy,
                         const Okladka& okladka) {
    TagLib::ID3v2::Tag tag;
    auto dodaj = [&tag](const char* id, const QString& tekst) {
        if (!tekst.isEmpty())
            tag.addFrame(ramkaTekstu(id, tekst));
    };
    dodaj("TIT2", opis.tytul);
    dodaj("TALB", opis.tytul);
    dodaj("TPE1", opis.autor);
    dodaj("TLAN", kodJezykaId3(opis.jezyk));
    dodaj("TPUB", opis.wydawca);
    dodaj("TDRC", opis.rok);
    if (!opis.lektor.isEmpty()) {
        auto* lektor = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::UTF8);
        lektor->setDescription("NARRATOR");
        lektor->setText(tekstTagu(opis.lektor));
        tag.addFrame(lektor);
    }
    if (!okladka.dane.isEmpty()) {
        auto* obraz = new TagLib::ID3v2::AttachedPictureFrame;
        obraz->setTextEncoding(TagLib::String::UTF8);
        obraz->setMimeType(tekstTagu(okladka.typ));
        obraz->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
        obraz->setPicture(TagLib::ByteVector(okladka.dane.constData(),
                                             static_cast<unsigned int>(okladka.dane.size())));
        tag.addFrame(obraz);
    }
    auto* spis = new TagLib::ID3v2::TableOfContentsFrame("toc");
    spis->setIsTopLevel(true);
    spis->setIsOrdered(true);
    for (qsizetype i = 0; i < rozdzialy.size(); ++i) {
        const RozdzialKsiazki& r = rozdzialy.at(i);
        const QByteArray id = "ch" + QByteArray::number(i + 1);
        const TagLib::ByteVector idRamki(id.constData(), static_cast<unsigned int>(id.size()));
        TagLib::ID3v2::FrameList tytul;
        tytul.append(ramkaTekstu("TIT2", tytulRozdzialuId3(r.tytul)));
        const auto od = static_cast<unsigned int>(tikiNaMs(r.poczatekWKsiazce));
        const auto doMs =
            static_cast<unsigned int>(tikiNaMs(r.poczatekWKsiazce + r.dlugoscWKsiazce));
        // Byte offsets are not given (all bits set), as the frame allows.
        tag.addFrame(
            new TagLib::ID3v2::ChapterFrame(idRamki, od, doMs, 0xFFFFFFFFu, 0xFFFFFFFFu, tytul));
        spis->addChildElement(idRamki);
    }
    tag.addFrame(spis);
    const TagLib::ByteVector dane = tag.render();
    return QByteArray(dane.data(), static_cast<qsizetype>(dane.size()));
}
