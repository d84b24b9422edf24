SIZE = end - start
        .equ TWICE, SIZE * 2
        .byte SIZE, TWICE, later, 1, -1, 255, "Hi", 'x', '\n', '\x7f'
        .word 0x1234, -2
        .dword 1 + 2 * 3, (1 + 2) * 3, 7 / 2, -7 / 2, -7 % 3
        .qword -2
        .f32 1.0, 3, raw(0x7F800000), 1.5e-1 * 10
        .f64 -0.0
        .ascii "a\tb"
        .asciz "€é", ""
start:  .fill 3, 0x1234, 2
        .align 4, 0xCC
end:
        .org start + 8
        .byte 1 << 4 | 1, 0xF0 & 0x3C ^ 0x01, ~0 & 0xFF, 10 - 2 - 3, -16 >> 2
        .byte 1_000 / 10, 0b1010, 0o17, $ + 1
later = $ + 0x10
