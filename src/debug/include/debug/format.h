#pragma once
// The classic DEBUG text layouts: register display, flags field, dump rows and unassembly lines. Every
// function returns whole lines ended by CR LF.

#include <cstdint>
#include <string>

#include "pc/memory.h"
#include "x86/cpu.h"

namespace krvs::debug {

// Upper-case hex with leading zeros.
std::string hex(std::uint32_t value, int digits);
std::string address(std::uint16_t segment, std::uint16_t offset);

// "NV UP EI PL NZ NA PO NC": the eight flag states, 23 characters.
std::string flagsText(std::uint16_t flags);

// The three register lines (four when a prefix byte stands at CS:IP), with the memory-operand field.
std::string registerDisplay(const x86::Registers& regs, const pc::Memory& memory);

// One instruction (a prefix counts as one) at segment:offset as a U line; `length` gets its size.
std::string unassembleLine(const pc::Memory& memory, std::uint16_t segment, std::uint16_t offset, int& length);

// Dump rows for `length` bytes (1..10000h) from segment:offset, paragraph-aligned with the partial
// first and last rows left blank where the range does not reach.
std::string dumpRows(const pc::Memory& memory, std::uint16_t segment, std::uint16_t offset, std::uint32_t length);

}  // namespace krvs::debug
