#pragma once

#include <QObject>
#include <QUrl>

class QSoundEffect;

// Plays a short wave file without waiting for it; stays silent when the file or the audio device is
// missing.
class SoundPlayer : public QObject {
    Q_OBJECT

public:
    explicit SoundPlayer(QObject *parent = nullptr);

    // `PlaySoundFile`: the file at `path`, or nothing when there is no such file.
    void PlaySoundFile(const QString &path);
    void play(const QUrl &source);

    // The notification sound: Notify.wav in `dataFolder` when the user put one there, else the
    // installed one, else the one built into the program.
    static QUrl notifySound(const QString &dataFolder);

private:
    QSoundEffect *m_effect = nullptr;
};
