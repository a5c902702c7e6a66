#include "SoundPlayer.h"

#include "common/DataFolder.h"

#include <QFileInfo>
#include <QSoundEffect>

SoundPlayer::SoundPlayer(QObject *parent)
    : QObject(parent) {}

void SoundPlayer::PlaySoundFile(const QString &path) {
    if (QFileInfo(path).isFile())
        play(QUrl::fromLocalFile(path));
}

void SoundPlayer::play(const QUrl &source) {
    // Created on first use: opening the audio device costs time the start-up should not pay.
    if (!m_effect)
        m_effect = new QSoundEffect(this);
    if (m_effect->source() != source)
        m_effect->setSource(source);
    m_effect->play();
}

QUrl SoundPlayer::notifySound(const QString &dataFolder) {
    const QString own = DataFolder::findShipped(QStringLiteral("Notify.wav"), dataFolder);
    return own.isEmpty() ? QUrl(QStringLiteral("qrc:/tavlo/Notify.wav")) : QUrl::fromLocalFile(own);
}
