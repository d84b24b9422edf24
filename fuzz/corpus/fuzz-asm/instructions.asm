        .include "tarquil.inc"
start:  MOV.32  #stack, sp
        MOV.8   #0x12, r2
        MOV.32  [0x100], [[0x200]]
        MOV.32  [r4], [[sp]]
        ADD.I32 #1, #2, r4
        SHL.8   #1, #3, r0
        INC.I32 [0x40]
        CVT.F64.F32 #1.5, r4
        cvt2.f32.i32 #-2.5, r4
        MOVB    #3, #"abc", [0x20]
        MOVB    #, {1, "b", -1}, [0x20]
        FILL.16 #3, #0xABCD, [0x10]
        CLRB    #4, [0x10]
        SIN.F64 r0, r8
        RND.U8  #10, #20, r2
        LT.F32  #1, #2.5, r2
        ADD.F32 #raw(0x7FC00001), #2, r0
        JZ.32   .skip, r4
        CALL    [[sp]]
.skip:  SKIP.8  #3
        RETNZ.8 r2
        PUSHR
        POPR
        SYS
        GETEVENT
        WAIT
        JMP     start
stack:  .fill   64
