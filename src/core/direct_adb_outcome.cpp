#include "core/direct_adb_outcome.h"

namespace oz {

std::string_view outcomeText(DirectAdbOutcome outcome) {
    switch (outcome) {
        case DirectAdbOutcome::Connected: return "已连接 (connected)";
        case DirectAdbOutcome::Finished: return "命令已完成 (the command finished)";
        case DirectAdbOutcome::BadAddress: return "地址无效 (not an address: IP or IP:port)";
        case DirectAdbOutcome::NameNotFound: return "无法连接到电视: 找不到该地址 (cannot connect to the TV: no such host)";
        case DirectAdbOutcome::Refused: return "无法连接到电视: 连接被拒绝 (cannot connect to the TV: connection refused)";
        case DirectAdbOutcome::Unreachable: return "无法连接到电视: 网络不可达 (cannot connect to the TV: unreachable)";
        case DirectAdbOutcome::TimedOut: return "无法连接到电视: 超时 (cannot connect to the TV: timed out)";
        case DirectAdbOutcome::Stopped: return "已取消 (cancelled)";
        case DirectAdbOutcome::NetworkUnavailable: return "无法使用网络 (Windows networking is unavailable)";
        case DirectAdbOutcome::KeyUnavailable: return "无法读取或创建 adb 密钥 (cannot read or create the adb key)";
        case DirectAdbOutcome::KeyRefused: return "电视拒绝了这台电脑的密钥 (the TV refused this computer's key)";
        case DirectAdbOutcome::OwnerDidNotAllow:
            return "电视上没有允许 USB 调试 (the TV's owner did not allow USB debugging in time)";
        case DirectAdbOutcome::TlsPairingNeeded:
            return "电视要求无线调试配对 (TLS)，暂不支持 (the TV asks for wireless debugging pairing, not supported)";
        case DirectAdbOutcome::ProtocolError: return "电视发来的数据无效 (the TV sent data that is not valid adb)";
        case DirectAdbOutcome::Dropped: return "电视断开了连接 (the TV closed the connection)";
        case DirectAdbOutcome::NoAnswer: return "电视没有回应 (the TV did not answer in time)";
        case DirectAdbOutcome::CommandRefused: return "电视拒绝执行命令 (the TV refused to run the command)";
        case DirectAdbOutcome::CommandTooLong: return "命令太长 (the command is longer than the TV accepts)";
        case DirectAdbOutcome::BadCommand: return "命令无效 (the command holds a NUL character)";
        case DirectAdbOutcome::NotConnected: return "尚未连接到电视 (not connected to the TV)";
    }
    return "未知结果 (unknown outcome)";
}

DirectAdbOutcome outcomeOfStatus(AdbStatus status) {
    switch (status) {
        case AdbStatus::Ok: return DirectAdbOutcome::Finished;
        case AdbStatus::KeyRefused: return DirectAdbOutcome::KeyRefused;
        case AdbStatus::NeedsTlsPairing: return DirectAdbOutcome::TlsPairingNeeded;
        case AdbStatus::ConnectionClosed: return DirectAdbOutcome::Dropped;
        case AdbStatus::CommandRefused: return DirectAdbOutcome::CommandRefused;
        case AdbStatus::CommandTooLong: return DirectAdbOutcome::CommandTooLong;
        case AdbStatus::NotReady: return DirectAdbOutcome::NotConnected;
        case AdbStatus::BadArgument: return DirectAdbOutcome::BadCommand;
        default: return DirectAdbOutcome::ProtocolError;
    }
}

}  // namespace oz
