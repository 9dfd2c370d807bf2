#include "send/Sender.h"

#include <QTimer>

namespace {

// A piece of a file that has found no room waits for the line this long before trying again.
constexpr int kRoomRetryMs = 10;

QString fullText(qint64 taken, qint64 offered) {
    QString text = QStringLiteral("送信キューがいっぱいのため送信を止めました｡ 相手が受け取って"
                                  "いません (フロー制御で止められているか､ 相手が読んでいません)｡");
    if (taken > 0 && taken < offered)
        text += QStringLiteral(" 最後の %1 バイトのうち %2 バイトだけがキューに入りました｡")
                    .arg(offered)
                    .arg(taken);
    return text;
}

} // namespace

Sender::Sender(std::function<Port()> port, QObject* parent)
    : QObject(parent), m_port(std::move(port)), m_timer(new QTimer(this)) {
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (m_activity == Activity::Repeating)
            repeatStep();
        else if (m_activity == Activity::SendingFile)
            fileStep();
    });
    const Port p = m_port();
    m_usable = p.engine != nullptr;
    m_why = p.why;
}

QString Sender::sentText(uint64_t bytes) {
    return QStringLiteral("送信: %1 バイト").arg(bytes);
}

bool Sender::offer(tessavue::SerialEngine* engine, const QByteArray& bytes, const QString& what) {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.constData());
    const size_t taken = engine->SendData(data, static_cast<size_t>(bytes.size()));
    if (taken > 0) emit sent(bytes.left(static_cast<qsizetype>(taken)));
    if (taken == static_cast<size_t>(bytes.size())) return true;
    end(fullText(static_cast<qint64>(taken), bytes.size()) + what);
    return false;
}

bool Sender::sendNow(const QByteArray& bytes) {
    const Port p = m_port();
    if (!p.engine) {
        emit message(p.why);
        return false;
    }
    if (bytes.isEmpty()) return true;
    // A line goes out whole or not at all, so it is never cut off unsaid.
    if (p.engine->sendQueued() + static_cast<size_t>(bytes.size()) >
        tessavue::SerialEngine::kSendQueueBytes) {
        emit message(fullText(0, bytes.size()));
        return false;
    }
    const bool whole = offer(p.engine, bytes, QString());
    refresh();
    return whole;
}

bool Sender::startRepeat(const QByteArray& bytes, int intervalMs) {
    stop();
    if (intervalMs < kRepeatMinMs || intervalMs > kRepeatMaxMs) {
        emit message(QStringLiteral("繰り返しの間隔は %1 ms から %2 ms (1 時間) までです｡")
                         .arg(kRepeatMinMs)
                         .arg(kRepeatMaxMs));
        return false;
    }
    if (bytes.isEmpty()) {
        emit message(QStringLiteral("繰り返し送るデータがありません｡"));
        return false;
    }
    const Port p = m_port();
    if (!p.engine) {
        emit message(p.why);
        return false;
    }
    m_repeatBytes = bytes;
    m_repeats = 0;
    setActivity(Activity::Repeating);
    m_timer->start(intervalMs);
    repeatStep();
    return m_activity == Activity::Repeating;
}

void Sender::repeatStep() {
    const Port p = m_port();
    if (!p.engine)
        return end(QStringLiteral("ポートがなくなったため繰り返しを止めました｡ ") + p.why);
    const QString what = QStringLiteral(" (%1 回送りました)").arg(m_repeats);
    if (p.engine->sendQueued() + static_cast<size_t>(m_repeatBytes.size()) >
        tessavue::SerialEngine::kSendQueueBytes)
        return end(fullText(0, m_repeatBytes.size()) + what);
    if (!offer(p.engine, m_repeatBytes, what)) return;
    ++m_repeats;
}

bool Sender::startFile(const QString& path, FileMode mode, int blockBytes, int delayMs,
                       LineEnding ending) {
    stop();
    const Port p = m_port();
    if (!p.engine) {
        emit message(p.why);
        return false;
    }
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly)) {
        emit message(
            QStringLiteral("ファイル「%1」が読めません｡ (%2)").arg(path, m_file.errorString()));
        return false;
    }
    m_fileMode = mode;
    m_blockBytes = std::clamp(blockBytes, 1, static_cast<int>(kMaxLineBytes));
    m_delayMs = std::max(delayMs, 0);
    m_ending = xfunLineEndingBytes(ending);
    m_piece.clear();
    m_fileDone = 0;
    m_fileLine = 0;
    m_waitingSince.invalidate();
    setActivity(Activity::SendingFile);
    emit progress(0, m_file.size());
    fileStep();
    return true;
}

QByteArray Sender::nextFilePiece() {
    QByteArray piece;
    if (m_fileMode == FileMode::Raw) {
        piece = m_file.read(m_blockBytes);
    } else {
        // One byte more than a line may hold, so that a longer one shows as such.
        piece = m_file.readLine(kMaxLineBytes + 2);
        ++m_fileLine;
    }
    if (piece.isEmpty() && !m_file.atEnd()) {
        end(QStringLiteral("ファイル「%1」の読み込み中にエラーが発生しました｡ (%2) そこで送信を"
                           "止めました｡")
                .arg(m_file.fileName(), m_file.errorString()));
        return {};
    }
    m_fileDone += piece.size();
    if (m_fileMode == FileMode::Lines && !piece.isEmpty()) {
        while (piece.endsWith('\n') || piece.endsWith('\r'))
            piece.chop(1);
        piece += m_ending;
        if (piece.size() > kMaxLineBytes) {
            end(QStringLiteral("ファイルの %1 行目が長すぎます (%2 バイトまで)｡ そこで送信を"
                               "止めました｡")
                    .arg(m_fileLine)
                    .arg(kMaxLineBytes));
            return {};
        }
    }
    return piece;
}

void Sender::fileStep() {
    m_timer->stop();
    const Port p = m_port();
    if (!p.engine)
        return end(QStringLiteral("ポートがなくなったためファイルの送信を止めました｡ ") + p.why);
    while (m_piece.isEmpty()) { // an empty line with no ending sends nothing
        if (m_file.atEnd())
            return end(QStringLiteral("ファイルを送りました (%1 バイト)｡").arg(m_fileDone));
        m_piece = nextFilePiece();
        if (m_activity != Activity::SendingFile) return;
    }
    const QString what =
        QStringLiteral(" (ファイルの %1 / %2 バイトまで)").arg(m_fileDone).arg(m_file.size());
    // A slow line is not a full one: a piece waits for room, and only a line that takes nothing
    // for kStalledMs ends the send.
    if (p.engine->sendQueued() + static_cast<size_t>(m_piece.size()) >
        tessavue::SerialEngine::kSendQueueBytes) {
        if (!m_waitingSince.isValid() || p.engine->sentBytes() != m_waitingSent) {
            m_waitingSince.start();
            m_waitingSent = p.engine->sentBytes();
        } else if (m_waitingSince.hasExpired(kStalledMs)) {
            return end(fullText(0, m_piece.size()) + what);
        }
        m_timer->start(kRoomRetryMs);
        return;
    }
    m_waitingSince.invalidate();
    if (!offer(p.engine, m_piece, what)) return;
    m_piece.clear();
    emit progress(m_fileDone, m_file.size());
    m_timer->start(m_delayMs);
}

void Sender::stop() {
    if (m_activity == Activity::Idle) return;
    m_timer->stop();
    m_file.close();
    setActivity(Activity::Idle);
}

void Sender::end(const QString& why) {
    stop();
    emit message(why);
}

void Sender::setActivity(Activity a) {
    if (a == m_activity) return;
    m_activity = a;
    emit activityChanged(a);
}

void Sender::refresh() {
    const Port p = m_port();
    const bool usable = p.engine != nullptr;
    if (usable != m_usable || p.why != m_why) {
        m_usable = usable;
        m_why = p.why;
        emit portChanged(usable, p.why);
    }
    if (!usable && m_activity == Activity::Repeating) repeatStep();
    if (!usable && m_activity == Activity::SendingFile) fileStep();
    if (p.engine && p.engine->sentBytes() != m_sentBytes) {
        m_sentBytes = p.engine->sentBytes();
        emit sentBytesChanged(m_sentBytes);
    }
}
