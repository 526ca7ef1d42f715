// The serial port on a real device, through QSerialPort. Port numbers 1 to 8
// map to devices through a PortTable. Received data, sent data and receive
// errors are reported as notifications of the matching event kind.
#pragma once

#include "port_table.h"
#include "serial_port.h"

#include <QSerialPort>

class QtSerialPort : public SerialPort
{
    Q_OBJECT

public:
    explicit QtSerialPort(const PortTable &table, QObject *parent = nullptr);
    ~QtSerialPort() override;

    bool setCommPort(int port) override;
    int commPort() const override { return m_port; }
    bool setSettings(const QString &settings) override;
    bool setInputMode(int mode) override;
    bool setRThreshold(int bytes) override;
    bool setSThreshold(int bytes) override;
    bool setOutBufferSize(int bytes) override;
    bool setInBufferSize(int bytes) override;
    bool open() override;
    bool close() override;
    bool isOpen() const override;
    bool output(const QByteArray &bytes) override;
    int commEvent() const override { return m_event; }
    int inBufferCount() const override;
    QByteArray input() override;
    QString errorText() const override { return m_errorText; }

private:
    struct LineSettings
    {
        qint32 baudRate = 9600;
        QSerialPort::Parity parity = QSerialPort::NoParity;
        QSerialPort::DataBits dataBits = QSerialPort::Data8;
        QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    };

    void onReadyRead();
    void onBytesWritten();
    void onErrorOccurred(QSerialPort::SerialPortError error);
    void raise(int eventKind);
    bool fail(const QString &reason);

    PortTable m_table;
    QSerialPort m_serial;
    LineSettings m_settings;
    int m_port = 1;
    int m_event = NoEvent;
    QString m_errorText;
};
