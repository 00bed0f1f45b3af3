#pragma once

// A capture file written from known bytes: Ethernet, IPv4 and TCP headers
// around each segment, with sequence and acknowledgement numbers that follow
// the bytes sent, so that Wireshark reassembles the streams as it would a
// real capture.

#include <cstdint>
#include <string>

class PcapWriter {
  public:
    PcapWriter() {
        Put32(0xa1b2c3d4);  // microsecond timestamps, written little-endian
        Put16(2);
        Put16(4);
        Put32(0);
        Put32(0);
        Put32(65535);
        Put32(1);  // Ethernet
    }

    const std::string& bytes() const { return bytes_; }

    void Segment(uint8_t srcHost, uint8_t dstHost, uint16_t srcPort, uint16_t dstPort, uint32_t seq,
                 uint32_t ack, uint8_t flags, const std::string& payload) {
        std::string tcp;
        Be16(tcp, srcPort);
        Be16(tcp, dstPort);
        Be32(tcp, seq);
        Be32(tcp, ack);
        tcp += static_cast<char>(5 << 4);
        tcp += static_cast<char>(flags);
        Be16(tcp, 65535);
        Be16(tcp, 0);  // checksum: Wireshark does not check it unless asked
        Be16(tcp, 0);
        tcp += payload;

        std::string ip;
        ip += '\x45';
        ip += '\0';
        Be16(ip, static_cast<uint16_t>(20 + tcp.size()));
        Be16(ip, ++ipId_);
        Be16(ip, 0);
        ip += '\x40';  // TTL
        ip += '\x06';  // TCP
        Be16(ip, 0);
        for (uint8_t host : {srcHost, dstHost}) {
            ip += '\x0a';
            ip += '\0';
            ip += '\0';
            ip += static_cast<char>(host);
        }
        const uint16_t sum = Checksum(ip);
        ip[10] = static_cast<char>(sum >> 8);
        ip[11] = static_cast<char>(sum & 0xff);

        std::string frame("\x02\0\0\0\0\x02\x02\0\0\0\0\x01\x08\x00", 14);
        frame += ip + tcp;
        ++usec_;
        Put32(usec_ / 1000000);
        Put32(usec_ % 1000000);
        Put32(static_cast<uint32_t>(frame.size()));
        Put32(static_cast<uint32_t>(frame.size()));
        bytes_ += frame;
    }

  private:
    static void Be16(std::string& out, uint16_t v) {
        out += static_cast<char>(v >> 8);
        out += static_cast<char>(v & 0xff);
    }
    static void Be32(std::string& out, uint32_t v) {
        Be16(out, static_cast<uint16_t>(v >> 16));
        Be16(out, static_cast<uint16_t>(v & 0xffff));
    }
    static uint16_t Checksum(const std::string& header) {
        uint32_t sum = 0;
        for (size_t i = 0; i + 1 < header.size(); i += 2) {
            sum += static_cast<uint32_t>(static_cast<uint8_t>(header[i]) << 8 |
                                         static_cast<uint8_t>(header[i + 1]));
        }
        while (sum >> 16 != 0) {
            sum = (sum & 0xffff) + (sum >> 16);
        }
        return static_cast<uint16_t>(~sum);
    }
    void Put16(uint16_t v) {
        bytes_ += static_cast<char>(v & 0xff);
        bytes_ += static_cast<char>(v >> 8);
    }
    void Put32(uint32_t v) {
        Put16(static_cast<uint16_t>(v & 0xffff));
        Put16(static_cast<uint16_t>(v >> 16));
    }

    std::string bytes_;
    uint16_t ipId_ = 0;
    uint32_t usec_ = 0;
};

// One TCP connection between the controller (10.0.0.1) and the responder
// (10.0.0.2), opened with a handshake; each call is one segment.
class TcpFlow {
  public:
    TcpFlow(PcapWriter& pcap, uint16_t clientPort, uint16_t serverPort)
        : pcap_(pcap), clientPort_(clientPort), serverPort_(serverPort) {
        pcap_.Segment(1, 2, clientPort_, serverPort_, clientSeq_++, 0, kSyn, "");
        pcap_.Segment(2, 1, serverPort_, clientPort_, serverSeq_++, clientSeq_, kSyn | kAck, "");
        pcap_.Segment(1, 2, clientPort_, serverPort_, clientSeq_, serverSeq_, kAck, "");
    }
    void ToServer(const std::string& bytes) {
        pcap_.Segment(1, 2, clientPort_, serverPort_, clientSeq_, serverSeq_, kPush | kAck, bytes);
        clientSeq_ += static_cast<uint32_t>(bytes.size());
    }
    void ToClient(const std::string& bytes) {
        pcap_.Segment(2, 1, serverPort_, clientPort_, serverSeq_, clientSeq_, kPush | kAck, bytes);
        serverSeq_ += static_cast<uint32_t>(bytes.size());
    }

  private:
    static constexpr uint8_t kSyn = 0x02, kPush = 0x08, kAck = 0x10;
    PcapWriter& pcap_;
    uint16_t clientPort_, serverPort_;
    uint32_t clientSeq_ = 1000, serverSeq_ = 5000;
};
