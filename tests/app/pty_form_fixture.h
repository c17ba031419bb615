#pragma once
// A window whose COM58 is a pseudo-terminal played by the test, with no meter
// to be found at start-up.

#include <QTemporaryDir>
#include <memory>

#include "app/controls.h"
#include "form_fixture.h"
#include "pty_peer.h"
#include "serial/va_comm.h"

class PtyFormTest : public FormTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ports.isValid());
        qputenv("SOVIKAN_PORTS_DIR", ports.path().toLocal8Bit());
        qputenv("SOVIKAN_SYSFS_ROOT", (ports.path() + QStringLiteral("/no-sysfs")).toLocal8Bit());
        peer = std::make_unique<PtyPeer>(ports.path().toStdString(), 58);
        FormTest::SetUp();
    }
    void TearDown() override
    {
        FormTest::TearDown();
        peer.reset();
        qunsetenv("SOVIKAN_PORTS_DIR");
        qunsetenv("SOVIKAN_SYSFS_ROOT");
    }
    void OpenPort58()
    {
        form->sePort->setValue(58);
        form->btnPortClick();
        ASSERT_TRUE(form->VaComm1->Active());
        ASSERT_EQ(form->VaComm1->PortNum(), 58);
    }
    QTemporaryDir ports;
    std::unique_ptr<PtyPeer> peer;
};
