; state-walk.asm - a program whose whole run depends on its state: random cells on a text
; screen, block copies that carry each round's bytes into a running sum, then random pixels
; on a graphics screen. It reads no clock and starts no timer, so two runs from the same
; seed are the same run, and a run cut by a saved state must go on as if it never was.

        .include "tarquil.inc"

WIDTH       = 40
HEIGHT      = 12
TEXT_ROUNDS = 300
PICTURE_W   = 32
PICTURE_H   = 16

start:  MOV.32  #stack, sp
        MOV.16  #GROUP_SCREEN | SCREEN_SET_MODE << 8, r0
        MOV.8   #MODE_TEXT, r2
        MOV.32  #WIDTH, r8
        MOV.32  #HEIGHT, r12
        SYS
; Text rounds: a random letter in a random colour at a random cell, a refresh every 16.
.text:  RND.U32 #0, #WIDTH - 1, r8
        RND.U32 #0, #HEIGHT - 1, r12
        RND.U8  #'A', #'Z', [letter]
        RND.U32 #0, #0xFFFFFF, r16
        MOV.16  #GROUP_SCREEN | SCREEN_PUT_CELL << 8, r0
        MOV.8   [letter], r2
        CLR.8   r3
        CLR.32  r20
        SYS
        CALL    mix
        AND.32  [round], #15, r24
        JNZ.8   .next, r24
        MOV.16  #GROUP_SCREEN | SCREEN_REFRESH << 8, r0
        SYS
.next:  LT.U32  [round], #TEXT_ROUNDS, r24
        JNZ.8   .text, r24
; Graphics rounds for ever: a random pixel, the picture shown every 8.
        MOV.16  #GROUP_SCREEN | SCREEN_SET_MODE << 8, r0
        MOV.8   #MODE_GRAPHICS, r2
        MOV.32  #PICTURE_W, r8
        MOV.32  #PICTURE_H, r12
        SYS
.pixel: RND.U32 #0, #PICTURE_W * PICTURE_H - 1, r24
        MUL.U32 r24, #4, r24
        ADD.U32 r24, #pixels, r24
        RND.U32 #0, #0xFFFFFF, [[r24]]
        RND.U8  #'A', #'Z', [letter]
        CALL    mix
        AND.32  [round], #7, r24
        JNZ.8   .pixel, r24
        MOV.16  #GROUP_SCREEN | SCREEN_SET_PIXELS << 8, r0
        MOV.32  #pixels, r4
        SYS
        JMP     .pixel

; mix: the round's letter through a fill, an overlapping block copy and a block push and
; pop into the running sum; then the next round.
mix:    FILL.8  #64, [letter], [buffer]
        MOVB    #64, [buffer], [buffer + 3]
        PUSHB   #16, [buffer + 8]
        POPB    #16, [buffer + 32]
        ADD.U32 [sum], [buffer + 30], [sum]
        XOR.32  [sum], [round], [sum]
        INC.U32 [round]
        RET

round:  .dword  0
sum:    .dword  0
letter: .byte   0
buffer: .fill   128, 0
pixels: .fill   PICTURE_W * PICTURE_H * 4, 0
        .fill   256, 0
stack:
